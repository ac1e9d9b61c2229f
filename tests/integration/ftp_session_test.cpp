// The FTP session against a real FTP server on loopback, and the TCP send against a listener.
#include "network/ftp_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "network/tcp_send.h"
#include "support/ftp_server.h"
#include "support/tcp_listener.h"
#include "support/temp_dir.h"

namespace quillon::net {
namespace {

constexpr int kWaitMs = 20000;
constexpr char kBinaryBytes[] = "line 1\r\nline 2\n\0\xff\x80 end";
const std::string kBinaryContent(kBinaryBytes, sizeof kBinaryBytes - 1);  // the NUL inside stays

// What a session showed through its observer.
struct Seen {
  std::vector<FtpStep> steps;
  std::vector<std::string> commands;
  FtpObserver Observer() {
    return {[this](FtpStep s) { steps.push_back(s); }, nullptr,
            [this](const std::string& c) { commands.push_back(c); }};
  }
  std::vector<std::string> Cwds() const {
    std::vector<std::string> parts;
    for (const std::string& c : commands)
      if (c.rfind("CWD ", 0) == 0) parts.push_back(c.substr(4));
    return parts;
  }
};

FtpAccount AccountOf(const test::FtpServer& server) {
  return {server.host(), server.user(), server.password(), kWaitMs};
}

// Steps begin in order, each once, from the connect to the disconnect; a failed session's last
// step before the disconnect is the failed one.
void ExpectStepsEndingWith(const Seen& seen, FtpStep last) {
  std::vector<FtpStep> expected;
  for (int s = 0; s <= static_cast<int>(last); ++s) expected.push_back(static_cast<FtpStep>(s));
  if (last != FtpStep::kDisconnect) expected.push_back(FtpStep::kDisconnect);
  EXPECT_EQ(seen.steps, expected);
}

TEST(FtpSession, UploadsAndFailsAtTheRightStep) {
  struct Case {
    const char* name;
    std::string directory;
    bool ascii;
    bool wrongPassword;
    bool fileThere;
    test::FtpServerOptions server;
    bool ok;
    FtpStep lastStep;  // the failed one, or kDisconnect after success
    std::vector<std::string> cwds;
    const char* replyStart;  // the last reply begins so
  };
  const std::vector<Case> cases = {
      {"binary into slash dir",
       "in/2024",
       false,
       false,
       true,
       {},
       true,
       FtpStep::kDisconnect,
       {"in", "2024"},
       "226"},
      {"ascii into backslash dir",
       "\\in\\2024",
       true,
       false,
       true,
       {},
       true,
       FtpStep::kDisconnect,
       {"in", "2024"},
       "226"},
      {"binary into the home", "", false, false, true, {}, true, FtpStep::kDisconnect, {}, "226"},
      {"missing local file",
       "/in/2024",
       false,
       false,
       false,
       {},
       true,
       FtpStep::kDisconnect,
       {"in", "2024"},
       "200"},
      {"wrong password", "in", false, true, true, {}, false, FtpStep::kConnect, {}, "530"},
      {"missing directory",
       "in/1999",
       false,
       false,
       true,
       {},
       false,
       FtpStep::kChangeDir,
       {"in", "1999"},
       "550"},
      {"type refused", "in", true, false, true, {true, 0}, false, FtpStep::kType, {"in"}, "504"},
      {"type refused, file missing",
       "in",
       true,
       false,
       false,
       {true, 0},
       false,
       FtpStep::kType,
       {"in"},
       "504"},
      {"store refused",
       "in",
       false,
       false,
       true,
       {false, 0, true},
       false,
       FtpStep::kTransfer,
       {"in"},
       "550"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::FtpServer server(c.server);
    ASSERT_TRUE(server.running());
    server.MakeDir("in/2024");
    test::TempDir local;
    const std::string file = local.File("a.dat");
    if (c.fileThere) test::WriteBytes(file, kBinaryContent);
    FtpAccount account = AccountOf(server);
    if (c.wrongPassword) account.password = "wrong";
    Seen seen;
    std::atomic<bool> stop{false};

    const FtpOutcome outcome =
        FtpUpload(account, c.directory, c.ascii, file, stop, seen.Observer());

    EXPECT_EQ(outcome.ok, c.ok);
    if (!c.ok) {
      EXPECT_EQ(outcome.failedStep, c.lastStep);
    }
    EXPECT_EQ(outcome.fileMissing, c.ok && !c.fileThere);
    EXPECT_TRUE(outcome.hadReply);
    EXPECT_EQ(outcome.lastReply.rfind(c.replyStart, 0), 0u) << outcome.lastReply;
    EXPECT_EQ(outcome.lastReply.find_first_of("\r\n"), std::string::npos);
    ExpectStepsEndingWith(seen, c.lastStep);
    EXPECT_EQ(seen.Cwds(), c.cwds);
    if (c.ok || c.lastStep != FtpStep::kConnect) {
      EXPECT_EQ(seen.commands.back(), "QUIT");
    }
    const std::string remote =
        server.HomeFile((c.cwds.empty() ? "" : "in/2024/") + std::string("a.dat"));
    EXPECT_EQ(std::filesystem::exists(remote), c.ok && c.fileThere);
    if (c.ok && c.fileThere && !c.ascii) {
      EXPECT_EQ(test::ReadBytes(remote), kBinaryContent);
    }
  }
}

TEST(FtpSession, ListsTheDirectory) {
  test::FtpServer server;
  ASSERT_TRUE(server.running());
  server.MakeDir("in/sub");
  test::WriteBytes(server.HomeFile("in/x.dat"), "x");
  std::vector<std::string> entries;
  std::atomic<bool> stop{false};
  Seen seen;

  const FtpOutcome outcome =
      FtpList(AccountOf(server), "/in", false, entries, stop, seen.Observer());

  ASSERT_TRUE(outcome.ok) << outcome.lastReply;
  ExpectStepsEndingWith(seen, FtpStep::kDisconnect);
  EXPECT_EQ(seen.Cwds(), std::vector<std::string>{"in"});
  EXPECT_NE(std::find(seen.commands.begin(), seen.commands.end(), "TYPE I"), seen.commands.end());
  EXPECT_EQ(seen.commands.back(), "QUIT");
  ASSERT_EQ(entries.size(), 2u);
  std::string all = entries[0] + "|" + entries[1];
  EXPECT_NE(all.find("x.dat"), std::string::npos);
  EXPECT_NE(all.find("sub"), std::string::npos);
  EXPECT_EQ(all.find('\r'), std::string::npos);
}

TEST(FtpSession, StopEndsASlowUploadPromptly) {
  test::FtpServer server({false, 4096});
  ASSERT_TRUE(server.running());
  test::TempDir local;
  const std::string file = local.File("big.dat");
  test::WriteBytes(file, std::string(32 * 1024 * 1024, 'z'));  // hours at the server's pace
  std::atomic<bool> stop{false};
  auto upload = std::async(std::launch::async,
                           [&] { return FtpUpload(AccountOf(server), "", false, file, stop); });
  // Stop once data has reached the server.
  const auto arrived = [remote = server.HomeFile("big.dat")] {
    std::error_code ec;
    const auto size = std::filesystem::file_size(remote, ec);
    return !ec && size > 0;
  };
  for (int i = 0; i < kWaitMs / 10 && !arrived(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(arrived());
  stop = true;

  ASSERT_EQ(upload.wait_for(std::chrono::milliseconds(kWaitMs)), std::future_status::ready);
  const FtpOutcome outcome = upload.get();
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.failedStep, FtpStep::kTransfer);
}

TEST(FtpSession, UnreachablePeersFailTheOpening) {
  int freePort = 0;
  {
    test::TcpListener closedAgain;
    freePort = closedAgain.port();
  }
  std::atomic<bool> stop{false};
  test::TempDir local;
  test::WriteBytes(local.File("a.dat"), "a");
  Seen seen;
  const FtpOutcome ftp = FtpUpload({"127.0.0.1:" + std::to_string(freePort), "u", "p", kWaitMs},
                                   "in", false, local.File("a.dat"), stop, seen.Observer());
  EXPECT_FALSE(ftp.ok);
  EXPECT_EQ(ftp.failedStep, FtpStep::kConnect);
  EXPECT_FALSE(ftp.hadReply);
  ExpectStepsEndingWith(seen, FtpStep::kConnect);

  std::vector<TcpStep> steps;
  const TcpOutcome tcp = TcpSendFile("127.0.0.1", freePort, local.File("a.dat"), kWaitMs, stop,
                                     [&](TcpStep s, bool) { steps.push_back(s); });
  EXPECT_FALSE(tcp.opened);
  EXPECT_FALSE(tcp.ok());
  EXPECT_EQ(steps, (std::vector<TcpStep>{TcpStep::kOpen, TcpStep::kClose}));
}

TEST(TcpSend, TheListenerGetsExactlyTheFileThenTheClose) {
  test::TcpListener listener;
  ASSERT_TRUE(listener.listening());
  test::TempDir local;
  std::string content = kBinaryContent;
  while (content.size() < 300 * 1024) content += content;  // several chunks
  test::WriteBytes(local.File("a.dat"), content);
  std::atomic<bool> stop{false};
  std::vector<std::pair<TcpStep, bool>> steps;

  const TcpOutcome outcome = TcpSendFile("localhost", listener.port(), local.File("a.dat"), kWaitMs,
                                         stop, [&](TcpStep s, bool ok) {
                                           steps.push_back({s, ok});
                                         });

  EXPECT_TRUE(outcome.ok());
  EXPECT_EQ(steps, (std::vector<std::pair<TcpStep, bool>>{
                       {TcpStep::kOpen, true}, {TcpStep::kSend, true}, {TcpStep::kClose, true}}));
  std::string received;
  ASSERT_TRUE(listener.WaitForConnection(received, kWaitMs));
  EXPECT_EQ(received, content);
}

}  // namespace
}  // namespace quillon::net
