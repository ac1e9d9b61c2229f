// Forwarding of stored files against real peers on loopback: a TCP listener that checks the
// bytes and the close, and an FTP server. The forwarding thread in the test process with short
// pauses, then the receiver as a user runs it (`quillon /headless`), killed and started again.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "common/clock.h"
#include "network/internet_thread.h"
#include "network/job_line.h"
#include "network/job_queue.h"
#include "support/ftp_server.h"
#include "support/station.h"
#include "support/tcp_listener.h"
#include "support/temp_dir.h"

namespace quillon::net {
namespace {

using test::FtpServer;
using test::FtpServerOptions;
using test::Key;
using test::ReadBytes;
using test::Station;
using test::TcpListener;
using test::TempDir;
using test::WriteBytes;

constexpr int kWaitMs = 20000;
const TInternetThread::Timing kQuick{50, 300, 2000};

std::string Payload(size_t size) {
  std::string data;
  for (int c = 0; c < 256; ++c) data += static_cast<char>(c);
  std::mt19937 random(static_cast<unsigned>(size));
  while (data.size() < size) data += static_cast<char>(random());
  data.resize(size);
  return data;
}

// What the thread reported, as "port level text" lines.
class Reports {
 public:
  TInternetThread::Report sink() {
    return [this](int port, const std::string& text, int level) {
      if (text.empty()) return;
      std::lock_guard lock(mutex_);
      lines_.push_back(std::to_string(port) + " " + std::to_string(level) + " " + text);
    };
  }
  bool Has(const std::string& part) const {
    std::lock_guard lock(mutex_);
    return std::any_of(lines_.begin(), lines_.end(),
                       [&](const std::string& l) { return l.find(part) != std::string::npos; });
  }
  // Waits until a line holds `part`.
  bool WaitFor(const std::string& part) const {
    const uint64_t deadline = Clock() + kWaitMs;
    while (!Has(part)) {
      if (Clock() > deadline) return false;
      Delay(20);
    }
    return true;
  }
  int Count(const std::string& part) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(lines_.begin(), lines_.end(), [&](const std::string& l) {
      return l.find(part) != std::string::npos;
    }));
  }
  std::string All() const {
    std::lock_guard lock(mutex_);
    std::string all;
    for (const std::string& l : lines_) all += l + "\n";
    return all;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

bool WaitForEmptyQueue(const JobQueue& queue) {
  const uint64_t deadline = Clock() + kWaitMs;
  while (!queue.Jobs().empty()) {
    if (Clock() > deadline) return false;
    Delay(20);
  }
  return true;
}

TEST(ForwardingThread, TcpDeliversExactBytesAndKeepsJobsWhileThePeerIsDown) {
  TempDir dir;
  const std::string a = dir.File("a.dat");
  const std::string b = dir.File("b.dat");
  WriteBytes(a, Payload(100000));
  WriteBytes(b, "zweite Datei\r\n");
  int port = 0;
  {
    TcpListener probe;  // a port that refuses once the probe is gone
    port = probe.port();
  }
  JobQueue queue(dir.File("quillon.job"));
  queue.Load();
  Reports reports;
  TInternetThread thread(queue, reports.sink(), kQuick);
  ASSERT_TRUE(queue.AddJob(MakeTcpJob(0, 3, "127.0.0.1", port, a)));
  ASSERT_TRUE(reports.WaitFor("1 Fehler beim Senden der Datei " + a)) << reports.All();
  EXPECT_TRUE(reports.Has("3 2 Fehler beim Öffnen der TCP/IP-Verbindung 127.0.0.1 Port " +
                          std::to_string(port)));
  EXPECT_TRUE(reports.Has("3 2 Die TCP/IP-Verbindung 127.0.0.1 Port " + std::to_string(port) +
                          " wird geschlossen"));
  // Kept with the time of the attempt; a second job joins while the peer is down.
  ASSERT_TRUE(queue.AddJob(MakeTcpJob(0, 3, "127.0.0.1", port, b)));
  const std::string kept = ReadBytes(dir.File("quillon.job"));
  EXPECT_NE(kept.find("|1|3|127.0.0.1|" + std::to_string(port) + "|" + a + "\r\n"),
            std::string::npos)
      << kept;

  TcpListener listener(port);
  std::string got;
  ASSERT_TRUE(listener.WaitForConnection(got, kWaitMs));
  EXPECT_EQ(got, "zweite Datei\r\n") << "the new job first, then the retried one";
  ASSERT_TRUE(listener.WaitForConnection(got, kWaitMs));
  EXPECT_TRUE(got == ReadBytes(a)) << "exactly the file's bytes, then the close";
  EXPECT_TRUE(WaitForEmptyQueue(queue));
  EXPECT_TRUE(reports.WaitFor("3 1 Datei " + a + " nach Adresse 127.0.0.1 Port " +
                              std::to_string(port) + " gesendet"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("quillon.job")));

  // A file that is gone is tried again and again, but told once.
  const std::string gone = dir.File("weg.dat");
  ASSERT_TRUE(queue.AddJob(MakeTcpJob(0, 3, "127.0.0.1", port, gone)));
  std::vector<std::string> times;
  const uint64_t deadline = Clock() + kWaitMs;
  while (times.size() < 3 && Clock() < deadline) {
    const std::vector<std::string> jobs = queue.Jobs();
    if (jobs.size() == 1 && (times.empty() || times.back() != JobValue(jobs[0], 1)))
      times.push_back(JobValue(jobs[0], 1));
    Delay(20);
  }
  ASSERT_EQ(times.size(), 3u) << "retried";
  EXPECT_EQ(reports.Count("3 1 Fehler beim Senden der Datei " + gone), 1);
}

TEST(ForwardingThread, FtpUploadsRetriesAWrongPasswordAndStopsAtOnce) {
  TempDir dir;
  const std::string file = dir.File("daten.dat");
  WriteBytes(file, Payload(50000));
  FtpServer server;
  ASSERT_TRUE(server.running());
  server.MakeDir("in/2024");
  JobQueue queue(dir.File("quillon.job"));
  queue.Load();
  Reports reports;
  {
    TInternetThread thread(queue, reports.sink(), kQuick);
    ASSERT_TRUE(queue.AddJob(
        MakeFtpJob(0, 2, server.host(), server.user(), "falsch", "I", 5000, file, "\\in\\2024")));
    ASSERT_TRUE(reports.WaitFor("2 1 Fehler beim Öffnen der FTP-Verbindung " + server.host()))
        << reports.All();
    EXPECT_TRUE(reports.WaitFor("2 2 Antwort: 530")) << reports.All();
    ASSERT_TRUE(queue.AddJob(MakeFtpJob(0, 2, server.host(), server.user(), server.password(), "I",
                                        5000, file, "in/2024")));
    ASSERT_TRUE(reports.WaitFor("2 1 Datei " + file + " wurde korrekt nach FTP-Host"))
        << reports.All();
  }
  EXPECT_TRUE(ReadBytes(server.HomeFile("in/2024/daten.dat")) == ReadBytes(file));
  // The job with the wrong password is still there, waiting for its next try.
  const std::vector<std::string> left = queue.Jobs();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_NE(left[0].find("|falsch|"), std::string::npos);
  EXPECT_NE(JobValue(left[0], 1), "0");
  ASSERT_TRUE(queue.DeleteJob(0));

  // A slow upload ends as soon as the thread is stopped; its job stays for the next start.
  FtpServer slow(FtpServerOptions{false, 20000});
  WriteBytes(file, Payload(2000000));
  {
    TInternetThread thread(queue, reports.sink(), kQuick);
    ASSERT_TRUE(queue.AddJob(
        MakeFtpJob(0, 4, slow.host(), slow.user(), slow.password(), "I", 60000, file, "")));
    ASSERT_TRUE(reports.WaitFor("4 1 Sende Datei " + file));
  }  // stops the thread: returns once the upload has ended
  const std::vector<std::string> kept = queue.Jobs();
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_NE(kept[0].find("|2|4|" + slow.host()), std::string::npos);
  EXPECT_NE(ReadBytes(dir.File("quillon.job")).find(slow.host()), std::string::npos);
}

TEST(ForwardingThread, MalformedJobFileLinesAreMovedOrDroppedAndGoodJobsStillGo) {
  TempDir dir;
  const std::string file = dir.File("gut.dat");
  WriteBytes(file, "gut\r\n");
  TcpListener listener;
  const std::string p = std::to_string(listener.port());
  WriteBytes(dir.File("quillon.job"), "Unsinn ohne Trenner\r\n0|3|1|x|1|" + file +
                                          "\r\n0|1|9|127.0.0.1|" + p + "|" + file +
                                          "\r\n0|1|2|127.0.0.1|x|" + file + "\r\n1|1|5|127.0.0.1|" +
                                          p + "|" + file + "\r\n");
  JobQueue queue(dir.File("quillon.job"));
  EXPECT_EQ(queue.Load(), 2);  // the garbage line and the port 9
  Reports reports;
  TInternetThread thread(queue, reports.sink(), kQuick);
  std::string got;
  ASSERT_TRUE(listener.WaitForConnection(got, kWaitMs));
  EXPECT_EQ(got, "gut\r\n");
  EXPECT_TRUE(WaitForEmptyQueue(queue));
  EXPECT_TRUE(reports.Has("1 1 Fehler bei einem TCP/IP-Job")) << "kind 3";
  EXPECT_TRUE(reports.Has("2 1 Fehler bei einem TCP/IP-Job")) << "TCP port not a number";
  const std::string bad = ReadBytes(dir.File("quillon.job.bad"));
  EXPECT_NE(bad.find("Unsinn ohne Trenner\r\n"), std::string::npos);
  EXPECT_NE(bad.find("0|1|9|"), std::string::npos);
}

// The receiver as a user runs it: a stored file reaches the listener; a job accepted before a
// kill is delivered after the restart, once.
TEST(ForwardingHeadless, StoredFileReachesTheListenerAlsoAfterAKill) {
  Station s;
  WriteBytes(s.dir.File("a.txt"), "eins\r\nzwei\r\n");
  int port = 0;
  {
    TcpListener probe;
    port = probe.port();
  }
  ASSERT_TRUE(s.Terminal(1, {"--send", "a.txt"}));
  const std::string target = s.dir.File("ziel.dat");
  s.Port(1, {{Key(test::kS3, "Dateiname"), target},
             {Key(test::kS2, "Header"), "0"},
             {Key(test::kS2, "Typzeichen"), "0"},
             {Key("TCP/IP-Parameter f\xFCr COM%d:", "Status"), "1|1"},
             {Key("TCP/IP-Parameter f\xFCr COM%d:", "TCP/IP-Sockets"),
              "127.0.0.1|" + std::to_string(port)}});
  ASSERT_TRUE(s.StartReceiver());
  ASSERT_EQ(s.TerminalDone(1), 0) << s.sims[1]->err();
  // Nobody listens yet: the job is kept in the job file; then the receiver is killed.
  ASSERT_TRUE(s.receiver.WaitForOutput("Fehler beim Senden der Datei " + target, kWaitMs))
      << s.receiver.out();
  s.receiver.Signal(SIGKILL);
  s.receiver.Wait(kWaitMs);
  EXPECT_NE(ReadBytes(s.dir.File("quillon.job")).find(target), std::string::npos);

  TcpListener listener(port);
  ASSERT_TRUE(s.StartReceiver());
  std::string got;
  ASSERT_TRUE(listener.WaitForConnection(got, kWaitMs)) << s.receiver.out();
  EXPECT_EQ(got, "eins\r\nzwei\r\n");
  ASSERT_TRUE(s.receiver.WaitForOutput(
      "nach Adresse 127.0.0.1 Port " + std::to_string(port) + " gesendet", kWaitMs));
  EXPECT_EQ(s.StopReceiver(), 0);
  EXPECT_FALSE(listener.WaitForConnection(got, 0)) << "delivered once";
  EXPECT_FALSE(std::filesystem::exists(s.dir.File("quillon.job")));
}

}  // namespace
}  // namespace quillon::net
