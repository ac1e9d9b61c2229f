// The block protocol against the terminal simulator: whole transfers in both directions, the
// clock exchange, polling, and a transfer through a line that corrupts bytes.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "protocols/ack_nak.h"
#include "serial/result_codes.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::ChildProcess;
using test::TempDir;

constexpr int kWaitMs = 20000;

// The simulator on its own pseudo-terminal, and our port on the other end.
struct SimTerminal {
  TempDir dir;
  ChildProcess sim;
  TOrvAckNak port;

  bool Start(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {std::string(QUILLON_BIN_DIR) + "/quillon-sim", "--pty"};
    argv.insert(argv.end(), args.begin(), args.end());
    if (!sim.Start(argv, dir.path()) || !sim.WaitForOutput("\n", kWaitMs)) return false;
    const std::string& out = sim.out();
    if (out.rfind("LINE ", 0) != 0) return false;
    if (port.Open(out.substr(5, out.find('\n') - 5), 9600, 8, 0, 1) <= 0) return false;
    port.SetTimeout(2000);
    return true;
  }

  // Receives one transfer: the header and the data lines, as ReceiveBlock hands them over.
  std::vector<std::string> ReceiveTransfer() {
    std::vector<std::string> lines;
    char first = '1';
    for (int calls = 0; calls < 100000; ++calls) {
      const int r = port.ReceiveBlock(first);
      if (r == rc::kEndOfTransfer) return lines;
      if (r != rc::kBlockReceived) continue;  // a failed attempt: the terminal repeats
      first = '+';
      lines.emplace_back(reinterpret_cast<char*>(port.FrameBuffer()) + 4,
                         static_cast<size_t>(port.DataLength()));
    }
    return lines;
  }
};

std::vector<std::string> WriteLines(const std::string& path, int count, size_t length) {
  std::vector<std::string> lines;
  std::ofstream out(path, std::ios::binary);
  for (int i = 0; i < count; ++i) {
    std::string line = std::to_string(i) + ":";
    while (line.size() < length) line += static_cast<char>('a' + (i + line.size()) % 26);
    out << line << "\r\n";
    lines.push_back(line);
  }
  return lines;
}

TEST(AckNakWithTerminal, TransferWithClockAfterwards) {
  SimTerminal t;
  const auto lines = WriteLines(t.dir.File("daten.txt"), 25, 40);
  ASSERT_TRUE(t.Start({"--send", "daten.txt", "--header", "KOPF", "--clock"})) << t.sim.err();
  auto got = t.ReceiveTransfer();
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.front(), "KOPF");
  got.erase(got.begin());
  EXPECT_EQ(got, lines);
  t.port.clockTimeout = 2000;
  EXPECT_EQ(t.port.SendClock(), 0);
  EXPECT_GE(t.port.responseTime, 0);
  EXPECT_EQ(t.sim.Wait(kWaitMs), 0) << t.sim.err();
  const std::string sent = TerminalClockText(std::time(nullptr));
  const auto pos = t.sim.out().find("CLOCK ");
  ASSERT_NE(pos, std::string::npos) << t.sim.out();
  // Day, month and year as the receiver sent them.
  EXPECT_EQ(t.sim.out().substr(pos + 6 + 4, 6), sent.substr(4, 6)) << "day, month, year";
}

TEST(AckNakWithTerminal, EveryBlockOnceAndInOrderThroughACorruptingLine) {
  SimTerminal t;
  const auto lines = WriteLines(t.dir.File("fehler.txt"), 500, 60);
  ASSERT_TRUE(t.Start({"--send", "fehler.txt", "--fault-rate", "0.02", "--faults",
                       "checksum,counter,drop,extra", "--seed", "7"}))
      << t.sim.err();
  t.port.SetTimeout(300);
  auto got = t.ReceiveTransfer();
  ASSERT_FALSE(got.empty());
  got.erase(got.begin());
  EXPECT_EQ(got.size(), lines.size());
  EXPECT_TRUE(got == lines) << "blocks accepted exactly once and in order";
  EXPECT_EQ(t.sim.Wait(kWaitMs), 0) << t.sim.err();
  const auto pos = t.sim.out().find("FAULTS ");
  ASSERT_NE(pos, std::string::npos);
  EXPECT_GT(std::atoi(t.sim.out().c_str() + pos + 7), 3) << "the line really did corrupt blocks";
}

TEST(AckNakWithTerminal, PollThenTransfer) {
  SimTerminal t;
  const auto lines = WriteLines(t.dir.File("p.txt"), 3, 10);
  ASSERT_TRUE(t.Start({"--answer-polls", "000042", "--send", "p.txt"})) << t.sim.err();
  t.port.pollTimeout = 300;
  EXPECT_EQ(t.port.Poll("000041"), rc::kNoPollAnswer) << "another terminal's address";
  EXPECT_EQ(t.port.Poll("000042"), 0);
  EXPECT_EQ(t.port.lastPolled, "000042");
  auto got = t.ReceiveTransfer();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(t.sim.Wait(kWaitMs), 0) << t.sim.err();
  EXPECT_NE(t.sim.out().find("POLLED 000042"), std::string::npos);
}

TEST(AckNakWithTerminal, FileSentToTheTerminalArrivesWhole) {
  SimTerminal t;
  const std::string path = t.dir.File("AUFTRAG.TXT");
  std::string content;
  for (int i = 0; i < 40; ++i) content += "Zeile " + std::to_string(i) + " \xE4\xF6\xFC\r\n";
  content += std::string(300, 'X') + "\r\n";
  test::WriteBytes(path, content);
  ASSERT_TRUE(t.Start({"--receive", "empfangen.txt", "--fault-rate", "0.05", "--faults", "checksum",
                       "--seed", "3"}))
      << t.sim.err();
  t.port.SetTimeout(2000);
  EXPECT_EQ(t.port.SendFile(path), 0);
  EXPECT_EQ(t.sim.Wait(kWaitMs), 0) << t.sim.err();
  const std::string received = test::ReadBytes(t.dir.File("empfangen.txt"));
  const auto headerEnd = received.find("\r\n");
  EXPECT_EQ(received.substr(0, 34), "QUILLON DATENTRANSFER,AUFTRAG.TXT,");
  // A line longer than a block arrives as two blocks, in order.
  std::string expected = content.substr(0, content.size() - 302) + std::string(255, 'X') + "\r\n" +
                         std::string(45, 'X') + "\r\n";
  EXPECT_EQ(received.substr(headerEnd + 2), expected);
}

}  // namespace
}  // namespace quillon
