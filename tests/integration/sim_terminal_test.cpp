// quillon-sim playing the handheld terminal, checked byte by byte from a raw peer on the other
// end of its pseudo-terminal. The peer here is written from the wire format alone, like the
// simulator, and uses nothing of the receiver.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::ChildProcess;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

constexpr int kWaitMs = 5000;
const std::string kAck = "\x06";
const std::string kNak = "\x15";
const std::string kEnq = "\x05";
const std::string kEnd = "-0000FF\r";

std::string Hex2(unsigned v) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", v & 0xFF);
  return text;
}

// A block as the wire format defines it, built here independently of the simulator.
std::string Frame(char type, const std::string& data, int counter) {
  const std::string body =
      Hex2(static_cast<unsigned>(data.size())) + type + data + static_cast<char>('0' + counter);
  unsigned sum = 0;
  for (const char c : body) sum += static_cast<unsigned char>(c);
  return "-" + body + Hex2(sum) + "\r";
}

// The same block with its last checksum digit wrong.
std::string WithBadChecksum(std::string frame) {
  char& digit = frame[frame.size() - 2];
  digit = digit == '0' ? '1' : '0';
  return frame;
}

// The simulator on a pty, and the raw end of the line that the test holds.
class SimLine {
 public:
  ~SimLine() {
    if (fd_ >= 0) close(fd_);
  }

  // Starts `quillon-sim --pty args...` and reads the path from its first line.
  bool Start(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {std::string(QUILLON_BIN_DIR) + "/quillon-sim", "--pty"};
    argv.insert(argv.end(), args.begin(), args.end());
    if (!child.Start(argv, dir.path()) || !child.WaitForOutput("\n", kWaitMs)) return false;
    if (child.out().rfind("LINE ", 0) != 0) return false;
    path = child.out().substr(5, child.out().find('\n') - 5);
    return true;
  }
  // Opens the line as a receiver would, raw unless asked otherwise.
  bool Open(bool raw = true) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd_ < 0) return false;
    termios tio{};
    tcgetattr(fd_, &tio);
    opened = tio;
    cfmakeraw(&tio);
    return !raw || tcsetattr(fd_, TCSANOW, &tio) == 0;
  }
  bool StartOpen(const std::vector<std::string>& args) { return Start(args) && Open(); }

  void Write(const std::string& bytes) {
    ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  bool WaitWritable(int ms) {
    pollfd pfd{fd_, POLLOUT, 0};
    return poll(&pfd, 1, ms) == 1;
  }
  // Writes what fits without waiting.
  ssize_t WriteSome(std::size_t n) {
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
    const std::string bytes(n, 'x');
    return write(fd_, bytes.data(), n);
  }
  // One byte, or -1 when nothing came within `ms`.
  int ReadByte(int ms) {
    pollfd pfd{fd_, POLLIN, 0};
    unsigned char c = 0;
    if (poll(&pfd, 1, ms) <= 0 || read(fd_, &c, 1) != 1) return -1;
    received += static_cast<char>(c);
    return c;
  }
  // Up to `n` bytes, each within `ms` of the one before.
  std::string Read(std::size_t n, int ms = kWaitMs) {
    std::string bytes;
    for (int c = 0; bytes.size() < n && (c = ReadByte(ms)) >= 0;) bytes += static_cast<char>(c);
    return bytes;
  }
  // Whatever arrives within `ms`.
  std::string ReadFor(int ms) { return Read(1 << 20, ms); }
  // One block as its length field says, skipping bytes before the '-'; cut short on time-out.
  std::string ReadFrame(int ms = kWaitMs) {
    int c = 0;
    while ((c = ReadByte(ms)) >= 0 && c != '-') {
    }
    if (c < 0) return "";
    std::string frame = "-" + Read(2, ms);
    if (frame.size() < 3) return frame;
    const unsigned n = std::stoul(frame.substr(1, 2), nullptr, 16);
    return frame + Read(n + 5, ms);
  }
  // Reads the expected block and answers it.
  void Expect(const std::string& frame, const std::string& answer = kAck) {
    EXPECT_EQ(ReadFrame(), frame) << child.out() << child.err();
    Write(answer);
  }

  TempDir dir;
  ChildProcess child;
  std::string path;
  termios opened{};
  std::string received;  // every byte the simulator sent

 private:
  int fd_ = -1;
};

// A careful receiver: ACKs a block only if it is complete and right, NAKs anything else,
// and collects the data it accepted until the end block.
struct CarefulPeer {
  std::vector<std::string> accepted;
  int naks = 0;

  void Run(SimLine& line) {
    int counter = 0;
    for (int guard = 0; guard < 200; ++guard) {
      const std::string f = line.ReadFrame(100);
      if (f.empty()) continue;  // silence: the simulator repeats after its time-out
      if (f == kEnd) {
        line.Write(kAck);
        return;
      }
      const bool whole = f.size() >= 8 && f.back() == '\r';
      const std::string data = whole ? f.substr(4, f.size() - 8) : "";
      const int blockCounter = whole ? f[f.size() - 4] - '0' : -1;
      if (whole && f[3] == '1') counter = 0;
      if (whole && blockCounter == counter && f == Frame(f[3], data, counter)) {
        accepted.push_back(data);
        counter = (counter + 1) % 10;
        line.Write(kAck);
      } else {
        ++naks;
        line.Write(kNak);
      }
    }
    ADD_FAILURE() << "no end block";
  }
};

// --- sending ------------------------------------------------------------------------------

TEST(SimSend, FileGoesAsExactBlocksWithTheCounterWrapping) {
  SimLine line;
  WriteBytes(line.dir.File("lines.txt"), "x\ny\r\nAB\n4\n5\n6\n7\n8\n9\n\n");
  ASSERT_TRUE(line.StartOpen({"--send", "lines.txt"}));
  line.Expect(Frame('1', "QUILLON-SIM,lines.txt", 0));
  line.Expect(Frame('+', "x", 1));
  line.Expect(Frame('+', "y", 2));
  line.Expect("-02+AB343\r");
  for (int i = 4; i <= 9; ++i) line.Expect(Frame('+', std::to_string(i), i));
  line.Expect("-00+0BB\r");
  line.Expect(kEnd);
  EXPECT_TRUE(line.child.WaitForOutput("SENT 1 12 0\n", kWaitMs)) << line.child.out();
  EXPECT_EQ(line.child.Wait(kWaitMs), 0) << line.child.err();
}

TEST(SimSend, NakAndSilenceRepeatTheBlockAndEnqCountsAsAck) {
  SimLine line;
  WriteBytes(line.dir.File("f.txt"), "AB\n");
  ASSERT_TRUE(
      line.StartOpen({"--send", "f.txt", "--header", "H", "--ack-timeout", "300", "--stats"}));
  line.Expect("-011H00A\r", kNak);
  line.Expect("-011H00A\r", kEnq);
  EXPECT_EQ(line.ReadFrame(), Frame('+', "AB", 1));
  line.Expect(Frame('+', "AB", 1));  // repeated after 300 ms of silence
  line.Expect(kEnd, kNak);
  line.Expect(kEnd);
  EXPECT_TRUE(line.child.WaitForOutput("SENT 1 3 2\n", kWaitMs)) << line.child.out();
  EXPECT_EQ(line.child.Wait(kWaitMs), 0) << line.child.err();
  EXPECT_NE(line.child.out().find("TURNAROUND median_us="), std::string::npos);
  EXPECT_NE(line.child.out().find(" blocks=5\n"), std::string::npos)
      << "every answered write is measured, the unanswered one is not: " << line.child.out();
}

TEST(SimSend, MissingFinalAckRepeatsTheWholeTransfer) {
  SimLine line;
  WriteBytes(line.dir.File("f.txt"), "AB\n");
  ASSERT_TRUE(line.StartOpen({"--send", "f.txt", "--header", "H", "--final-timeout", "300"}));
  line.Expect("-011H00A\r");
  line.Expect(Frame('+', "AB", 1));
  EXPECT_EQ(line.ReadFrame(), kEnd);  // no answer
  line.Expect("-011H00A\r");          // from the start, counter 0 again
  line.Expect(Frame('+', "AB", 1));
  line.Expect(kEnd);
  EXPECT_TRUE(line.child.WaitForOutput("SENT 1 3 0\n", kWaitMs)) << line.child.out();
  EXPECT_EQ(line.child.Wait(kWaitMs), 0) << line.child.err();
}

TEST(SimSend, RepetitionsUsedUpFailTheTransfer) {
  SimLine blocks;
  WriteBytes(blocks.dir.File("f.txt"), "AB\n");
  ASSERT_TRUE(blocks.StartOpen({"--send", "f.txt", "--header", "H", "--ack-timeout", "100",
                                "--max-retries", "2", "--transfer-retries", "0"}));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(blocks.ReadFrame(), "-011H00A\r") << i;
  EXPECT_EQ(blocks.child.Wait(kWaitMs), 1);
  EXPECT_NE(blocks.child.err().find("nach 2 Wiederholungen nicht angenommen"), std::string::npos)
      << blocks.child.err();
  EXPECT_EQ(blocks.ReadFor(200), "") << "no fourth attempt";

  SimLine final;
  WriteBytes(final.dir.File("f.txt"), "");
  ASSERT_TRUE(final.StartOpen(
      {"--send", "f.txt", "--header", "H", "--final-timeout", "200", "--transfer-retries", "1"}));
  for (int round = 0; round < 2; ++round) {
    final.Expect("-011H00A\r");
    EXPECT_EQ(final.ReadFrame(), kEnd);
  }
  EXPECT_EQ(final.child.Wait(kWaitMs), 1);
  EXPECT_NE(final.child.err().find("nicht bestätigt"), std::string::npos) << final.child.err();
}

TEST(SimSend, LongBinaryLineGoesAsSeveralBlocksInEachTransfer) {
  SimLine line;
  std::string longLine;
  for (int i = 0; i < 300; ++i) longLine += static_cast<char>(i % 256 == 10 ? 11 : i % 256);
  WriteBytes(line.dir.File("bin.dat"), longLine + "\r\n");
  ASSERT_TRUE(line.StartOpen({"--send", "bin.dat", "--header", "H", "--transfers", "2"}));
  for (int transfer = 1; transfer <= 2; ++transfer) {
    line.Expect("-011H00A\r");
    line.Expect(Frame('+', longLine.substr(0, 255), 1));
    line.Expect(Frame('+', longLine.substr(255), 2));
    line.Expect(kEnd);
    EXPECT_TRUE(line.child.WaitForOutput("SENT " + std::to_string(transfer) + " 4 0\n", kWaitMs));
  }
  EXPECT_EQ(line.child.Wait(kWaitMs), 0) << line.child.err();
}

// --- polling and clock --------------------------------------------------------------------

TEST(SimPoll, AnswersOnlyItsAddressesBeforeEachTransfer) {
  SimLine line;
  WriteBytes(line.dir.File("f.txt"), "");
  ASSERT_TRUE(line.StartOpen(
      {"--answer-polls", "00042,00043", "--send", "f.txt", "--header", "H", "--transfers", "2"}));
  line.Write("\r00041?\r");
  EXPECT_EQ(line.ReadFor(300), "") << "another terminal's address";
  line.Write("\r00042?\r");
  EXPECT_EQ(line.Read(1), kAck);
  EXPECT_TRUE(line.child.WaitForOutput("POLLED 00042\n", kWaitMs));
  line.Write("\r00042!\r");
  line.Expect("-011H00A\r");
  line.Expect(kEnd);
  EXPECT_EQ(line.ReadFor(300), "") << "the second transfer waits for its poll";
  const auto polled = std::chrono::steady_clock::now();
  line.Write("\r00043?\r\r00042?\r");
  EXPECT_EQ(line.Read(1), kAck);
  line.Expect("-011H00A\r");  // after the confirmation time without one
  EXPECT_GE(std::chrono::steady_clock::now() - polled, std::chrono::milliseconds(900));
  line.Expect(kEnd);
  EXPECT_EQ(line.child.Wait(kWaitMs), 0) << line.child.err();
  EXPECT_NE(line.child.out().find("POLLED 00043\nSENT 2 2 0\n"), std::string::npos);
}

TEST(SimClock, ExchangeAfterTheTransferPrintsTheDigits) {
  SimLine line;
  WriteBytes(line.dir.File("f.txt"), "");
  ASSERT_TRUE(line.StartOpen({"--send", "f.txt", "--header", "H", "--clock"}));
  line.Expect("-011H00A\r");
  line.Expect(kEnd);
  EXPECT_EQ(line.Read(1), kNak) << "ready for the clock";
  line.Write("-081MDE-ZEIT008\r");
  EXPECT_EQ(line.Read(1), kAck);
  line.Write(WithBadChecksum(Frame('+', "301412052609", 1)));
  EXPECT_EQ(line.Read(1), kNak);
  line.Write(Frame('+', "301412052609", 1));
  EXPECT_EQ(line.Read(1), kAck);
  line.Write(kEnd);
  EXPECT_EQ(line.Read(1), kAck);
  EXPECT_TRUE(line.child.WaitForOutput("CLOCK 301412052609\n", kWaitMs)) << line.child.out();
  EXPECT_EQ(line.child.Wait(kWaitMs), 0) << line.child.err();
}

TEST(SimClock, ImpossibleTimeFails) {
  SimLine line;
  ASSERT_TRUE(line.StartOpen({"--clock"}));
  EXPECT_EQ(line.Read(1), kNak);
  for (const std::string& frame :
       {std::string("-081MDE-ZEIT008\r"), Frame('+', "611412052609", 1), kEnd}) {
    line.Write(frame);
    EXPECT_EQ(line.Read(1), kAck);
  }
  EXPECT_EQ(line.child.Wait(kWaitMs), 1) << "minute 61";
  EXPECT_NE(line.child.err().find("nnhhddmmyyss"), std::string::npos) << line.child.err();
}

// --- receiving ----------------------------------------------------------------------------

TEST(SimReceive, WritesTheLinesAndRejectsBadBlocks) {
  SimLine line;
  ASSERT_TRUE(line.StartOpen({"--receive", "out.txt", "--start-nak", "--ack-timeout", "500"}));
  EXPECT_EQ(line.Read(1), kNak) << "ready";
  const std::vector<std::pair<std::string, std::string>> steps = {
      {"noise" + Frame('1', "KOPF", 0), kAck},
      {WithBadChecksum(Frame('+', "eins", 1)), kNak},
      {Frame('+', "eins", 2), kNak},  // counter skipped
      {"-04+eins16f\r", kAck},        // lower-case checksum
      {Frame('+', "eins", 1), kAck},  // repeated after a lost ACK: kept once
      {"-04+zw", kNak},               // cut short: rejected after the character time-out
      {Frame('+', "z\rw", 2), kAck},  // CR inside the data
      {"-0000ff\r", kAck},
  };
  for (const auto& [frame, answer] : steps) {
    line.Write(frame);
    EXPECT_EQ(line.Read(1, 2000), answer) << frame;
  }
  EXPECT_EQ(line.child.Wait(kWaitMs), 0) << line.child.err();
  EXPECT_EQ(ReadBytes(line.dir.File("out.txt")), "KOPF\r\neins\r\nz\rw\r\n");
  EXPECT_NE(line.child.out().find("RECEIVED 2\nHEADER KOPF\n"), std::string::npos)
      << line.child.out();
}

// --- faults -------------------------------------------------------------------------------

struct FaultRun {
  std::vector<std::string> accepted;
  int naks = 0;
  std::string stream;
  std::string out;
  int code = -1;
};

FaultRun SendWithFaults(const std::string& kinds, const std::string& seed) {
  SimLine line;
  WriteBytes(line.dir.File("f.txt"), "eins\nzwei\ndrei\n");
  FaultRun run;
  if (!line.StartOpen({"--send", "f.txt", "--header", "H", "--fault-rate", "0.5", "--faults", kinds,
                       "--seed", seed, "--ack-timeout", "400"})) {
    return run;
  }
  CarefulPeer peer;
  peer.Run(line);
  run.code = line.child.Wait(kWaitMs);
  run.accepted = peer.accepted;
  run.naks = peer.naks;
  run.stream = line.received;
  run.out = line.child.out();
  return run;
}

int FaultCount(const std::string& out) {
  const std::size_t at = out.find("FAULTS ");
  return at == std::string::npos ? -1 : std::stoi(out.substr(at + 7));
}

TEST(SimFaults, EveryKindIsRejectedByACarefulPeerAndThenSentCorrectly) {
  const std::vector<std::string> file = {"H", "eins", "zwei", "drei"};
  for (const std::string kind : {"checksum", "counter", "drop", "extra", "silence"}) {
    const FaultRun run = SendWithFaults(kind, "3");
    EXPECT_EQ(run.code, 0) << kind;
    EXPECT_EQ(run.accepted, file) << kind;
    const int faults = FaultCount(run.out);
    EXPECT_GT(faults, 0) << kind << ": " << run.out;
    EXPECT_EQ(run.naks, kind == std::string("silence") ? 0 : faults) << kind;
  }
}

TEST(SimFaults, SameSeedGivesTheSameFaults) {
  const FaultRun first = SendWithFaults("checksum,counter,drop,extra,silence", "11");
  const FaultRun again = SendWithFaults("checksum,counter,drop,extra,silence", "11");
  const FaultRun other = SendWithFaults("checksum,counter,drop,extra,silence", "12");
  EXPECT_GT(FaultCount(first.out), 0);
  EXPECT_EQ(first.stream, again.stream);
  EXPECT_EQ(FaultCount(first.out), FaultCount(again.out));
  EXPECT_NE(first.stream, other.stream);
}

TEST(SimFaults, ReceivingSideRefusesOrIgnoresGoodBlocks) {
  SimLine line;
  ASSERT_TRUE(line.StartOpen({"--receive", "out.txt", "--fault-rate", "0.5", "--faults",
                              "checksum,silence", "--seed", "4", "--ack-timeout", "300"}));
  int naks = 0;
  const std::vector<std::string> frames = {Frame('1', "H", 0), Frame('+', "a", 1),
                                           Frame('+', "b", 2), kEnd};
  for (const std::string& frame : frames) {
    std::string answer;
    for (int tries = 0; tries < 20 && answer != kAck; ++tries) {
      line.Write(frame);
      answer = line.Read(1, 2000);  // silence is followed by a NAK after 300 ms
      naks += answer == kNak;
    }
    EXPECT_EQ(answer, kAck) << frame;
  }
  EXPECT_EQ(line.child.Wait(kWaitMs), 0) << line.child.err();
  EXPECT_EQ(ReadBytes(line.dir.File("out.txt")), "H\r\na\r\nb\r\n");
  EXPECT_GT(naks, 0);
  EXPECT_EQ(FaultCount(line.child.out()), naks) << line.child.out();
}

TEST(SimFaults, APeerAcceptingAFaultyBlockFailsTheRun) {
  SimLine line;
  WriteBytes(line.dir.File("f.txt"), "");
  ASSERT_TRUE(line.StartOpen({"--send", "f.txt", "--fault-rate", "1", "--faults", "checksum"}));
  line.ReadFrame();
  line.Write(kAck);
  EXPECT_EQ(line.child.Wait(kWaitMs), 1);
  EXPECT_NE(line.child.err().find("verfälschten Block angenommen"), std::string::npos)
      << line.child.err();
  EXPECT_NE(line.child.out().find("FAULTS 1\n"), std::string::npos) << line.child.out();
}

// --- the line and the command line --------------------------------------------------------

TEST(SimLine, HoldingOnlyPrintsThePathDrainsAndEndsCleanly) {
  SimLine line;
  ASSERT_TRUE(line.Start({"--print-path", "line"}));
  EXPECT_EQ(ReadBytes(line.dir.File("line")), line.path + "\n");
  ASSERT_TRUE(line.Open(false));
  EXPECT_EQ(line.opened.c_lflag & (ECHO | ICANON), 0u) << "the line starts raw";
  EXPECT_EQ(line.opened.c_iflag & ICRNL, 0u);
  std::size_t written = 0;
  while (written < 64 * 1024 && line.WaitWritable(kWaitMs)) {
    written += static_cast<std::size_t>(std::max<ssize_t>(0, line.WriteSome(4096)));
  }
  EXPECT_GE(written, 64u * 1024) << "the simulator keeps reading";
  line.child.Signal(SIGTERM);
  EXPECT_EQ(line.child.Wait(kWaitMs), 0);
}

TEST(SimLine, ActionsWaitForTheOtherSideToOpenTheLine) {
  SimLine late;
  WriteBytes(late.dir.File("f.txt"), "");
  ASSERT_TRUE(late.Start({"--send", "f.txt", "--header", "H"}));
  usleep(300 * 1000);
  ASSERT_TRUE(late.Open());
  late.Expect("-011H00A\r");
  late.Expect(kEnd);
  EXPECT_EQ(late.child.Wait(kWaitMs), 0) << late.child.err();

  SimLine never;
  ASSERT_TRUE(never.Start({"--clock", "--open-timeout", "200"}));
  EXPECT_EQ(never.child.Wait(kWaitMs), 1);
  EXPECT_NE(never.child.err().find("nicht innerhalb von 200 ms ge"), std::string::npos);

  SimLine stopped;
  ASSERT_TRUE(stopped.StartOpen({"--answer-polls", "1", "--stay"}));
  stopped.child.Signal(SIGTERM);
  EXPECT_EQ(stopped.child.Wait(kWaitMs), 1) << "ended in the middle of an action";
}

TEST(SimCommandLine, UsageErrorsExitWithTwoAndAGermanMessage) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"--pty", "--device", "/dev/null"},
      {"--pty", "--bogus"},
      {"--pty", "--fault-rate", "2"},
      {"--pty", "--faults", "checksum,noise"},
      {"--device", "/dev/ttyS0", "--print-path", "x"},
      {"--pty", "--header", "H"},
      {"--pty", "--answer-polls", "12a"},
      {"--pty", "--ack-timeout"},
  };
  TempDir dir;
  for (const auto& args : bad) {
    std::vector<std::string> argv = {std::string(QUILLON_BIN_DIR) + "/quillon-sim"};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess child;
    EXPECT_EQ(test::RunToEnd(child, argv, dir.path(), {}, kWaitMs), 2) << argv.size();
    EXPECT_NE(child.err().find("--help zeigt die Optionen"), std::string::npos) << child.err();
  }
  ChildProcess help;
  EXPECT_EQ(test::RunToEnd(help, {std::string(QUILLON_BIN_DIR) + "/quillon-sim", "--help"},
                           dir.path(), {}, kWaitMs),
            0);
  EXPECT_NE(help.out().find("Aufruf:"), std::string::npos);
}

}  // namespace
}  // namespace quillon
