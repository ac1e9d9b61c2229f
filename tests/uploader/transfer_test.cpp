// The uploader's transfers over a pseudo-terminal against the simulator's uploader target.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "serial_port.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "upload_worker.h"

namespace {

using namespace sollex;
using quillon::test::ChildProcess;
using quillon::test::ReadBytes;
using quillon::test::TempDir;
using quillon::test::WriteBytes;
using Clock = std::chrono::steady_clock;

const std::string kSim = std::string(QUILLON_BIN_DIR) + "/quillon-sim";
const std::string kEsc = "\x1b";

struct Seen {
  Report report;
  Clock::time_point at;
};

// A simulator on a fresh pty, a ComRemap.ini mapping COM3 to it, and the reports of one run.
class Line {
 public:
  explicit Line(std::vector<std::string> extra = {}) {
    std::vector<std::string> argv = {kSim, "uploader", "--pty", "--received", received()};
    argv.insert(argv.end(), extra.begin(), extra.end());
    EXPECT_TRUE(sim.Start(argv, dir.path()));
    EXPECT_TRUE(sim.WaitForOutput("\n", 20000)) << sim.err();
    const auto at = sim.out().find("LINE ");
    const std::string device = sim.out().substr(at + 5, sim.out().find('\n', at) - at - 5);
    WriteBytes(dir.File("ComRemap.ini"), "[Remap]\nCOM3=" + device + "\n");
  }

  std::string received() const { return dir.File("received.bin"); }

  UploadJob Job(const std::string& file, int rateIndex = 2) {
    UploadJob job;
    job.portIndex = 2;
    job.rateIndex = rateIndex;
    job.path = dir.File(file);
    job.remapFile = dir.File("ComRemap.ini");
    job.cancel = &cancel;
    job.report = [this](const Report& r) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        seen.push_back({r, Clock::now()});
      }
      reported.notify_all();
    };
    return job;
  }

  // Waits until a report with `code` and `value` arrived.
  bool WaitForReport(int code, long value, int ms) {
    std::unique_lock<std::mutex> lock(mutex);
    return reported.wait_for(lock, std::chrono::milliseconds(ms), [&] {
      for (const Seen& s : seen) {
        if (s.report.code == code && s.report.value == value) return true;
      }
      return false;
    });
  }

  std::vector<int> Codes(int only = -1) {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<int> codes;
    for (const Seen& s : seen) {
      if (only < 0 || s.report.code == only) codes.push_back(s.report.code);
    }
    return codes;
  }
  std::vector<long> Values(int code) {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<long> values;
    for (const Seen& s : seen) {
      if (s.report.code == code) values.push_back(s.report.value);
    }
    return values;
  }
  int Final() { return seen.empty() ? -1 : seen.back().report.code; }
  // A cancelled transfer says so and then that it is done, as its last two reports.
  void ExpectCancelledThenDone() {
    const std::vector<int> codes = Codes();
    ASSERT_GE(codes.size(), 2u);
    EXPECT_EQ(codes[codes.size() - 2], kCancelled);
    EXPECT_EQ(codes.back(), kDone);
  }

  // The simulator ends when the uploader closes the line (or after the script's end); a line
  // that was open only for a moment may go unnoticed, the simulator is then killed at the end.
  void WaitForSim() { EXPECT_EQ(sim.Wait(20000), 0) << sim.err(); }

  TempDir dir;
  ChildProcess sim;
  CancelFlag cancel;
  std::mutex mutex;
  std::condition_variable reported;
  std::vector<Seen> seen;
};

const std::string kHex =
    ":10010000214601360121470136007EFE09D2190140\n"
    ":100110002146017E17C20001FF5F16002148011928\n"
    ":00000001FF\n";

TEST(HexTransfer, HandshakeAsksForEachRateAndTheFileArrivesUnchanged) {
  const struct {
    int index;
    const char* handshake;
    const char* rate;
  } cases[] = {{0, "HANDSHAKE *b6#", "RATE 19200"},
               {1, "HANDSHAKE *b8#", "RATE 38400"},
               {2, "HANDSHAKE *b9#", "RATE 57600"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.handshake);
    Line line;
    WriteBytes(line.dir.File("app.hex"), kHex);
    RunHexTransfer(line.Job("app.hex", c.index));
    line.WaitForSim();
    EXPECT_NE(line.sim.out().find(c.handshake), std::string::npos) << line.sim.out();
    EXPECT_NE(line.sim.out().find(c.rate), std::string::npos);
    EXPECT_EQ(ReadBytes(line.received()), kHex);
    EXPECT_EQ(line.Values(kRate), (std::vector<long>{0, c.index}));
    EXPECT_EQ(line.Values(kLineCount), std::vector<long>{3});
    EXPECT_EQ(line.Values(kTotalBytes), std::vector<long>{static_cast<long>(kHex.size())});
    EXPECT_EQ(line.Values(kBytesSent), (std::vector<long>{44, 88, static_cast<long>(kHex.size())}));
    EXPECT_EQ(line.Codes(kBankCount).size(), 0u);
    EXPECT_EQ(line.Final(), kDone);
  }
}

TEST(HexTransfer, TerminalSilentOnTheHandshakeStillGetsTheFileAt19200) {
  Line line({"--silent-handshake"});
  WriteBytes(line.dir.File("app.hex"), kHex);
  RunHexTransfer(line.Job("app.hex"));
  line.WaitForSim();
  std::size_t tries = 0;
  for (std::size_t at = 0; (at = line.sim.out().find("HANDSHAKE *b9#", at)) != std::string::npos;
       ++at)
    ++tries;
  EXPECT_EQ(tries, 3u);
  EXPECT_EQ(line.sim.out().find("RATE"), std::string::npos);
  EXPECT_EQ(line.Values(kRate), std::vector<long>{0});
  EXPECT_EQ(ReadBytes(line.received()), kHex);
  EXPECT_EQ(line.Final(), kDone);
}

TEST(HexTransfer, BankSetSendsEachBankAfterItsOwnHandshakeWithAPauseAfterEach) {
  Line line;
  const std::string bank0 = ":020000040000FA\n:00000001FF\n";
  const std::string bank1 = ":020000040001F9\n:0100000055AA\n:00000001FF\n";
  WriteBytes(line.dir.File("A.h00"), bank0);
  WriteBytes(line.dir.File("A.h01"), bank1);
  WriteBytes(line.dir.File("A.h03"), "not part of the set\n");
  const auto start = Clock::now();
  UploadJob job = line.Job("A.h00");
  RunHexTransfer(job);
  const auto took = Clock::now() - start;
  line.WaitForSim();
  EXPECT_EQ(ReadBytes(line.received()), bank0 + bank1);
  EXPECT_EQ(line.Values(kBankCount), std::vector<long>{2});
  EXPECT_EQ(line.Values(kBankNumber), (std::vector<long>{1, 2}));
  EXPECT_EQ(line.Values(kRate), (std::vector<long>{0, 2, 0, 2}));
  EXPECT_EQ(line.Values(kLineCount), (std::vector<long>{2, 3}));
  std::vector<std::string> paths;
  for (const Seen& s : line.seen) {
    if (s.report.code == kFilePath) paths.push_back(s.report.text);
  }
  EXPECT_EQ(paths, (std::vector<std::string>{line.dir.File("A.h00"), line.dir.File("A.h01")}));
  // The pause after the first bank lies between its last line and the second handshake.
  Clock::time_point lastOfFirst, secondBank;
  int rates = 0;
  for (const Seen& s : line.seen) {
    if (s.report.code == kBytesSent && rates == 2) lastOfFirst = s.at;
    if (s.report.code == kRate && ++rates == 3) secondBank = s.at;
  }
  EXPECT_GE(secondBank - lastOfFirst, std::chrono::milliseconds(2000));
  EXPECT_GE(took, std::chrono::milliseconds(4000));  // a pause after each bank
  EXPECT_EQ(line.Final(), kDone);
}

TEST(HexTransfer, LastLineWithoutLineEndAndLongLinesInPiecesOf255) {
  Line line;
  const std::string longLine(300, 'B');
  WriteBytes(line.dir.File("odd.hex"),
             "AAA\r\n" + longLine + "\n" + std::string(255, 'C') + "\nDDD");
  RunHexTransfer(line.Job("odd.hex"));
  line.WaitForSim();
  EXPECT_EQ(ReadBytes(line.received()), "AAA\n" + std::string(255, 'B') + "\n" +
                                            std::string(45, 'B') + "\n" + std::string(255, 'C') +
                                            "\nDDD\n");
  EXPECT_EQ(line.Values(kLineCount), std::vector<long>{5});
  const long size = 5 + 301 + 256 + 3;
  EXPECT_EQ(line.Values(kTotalBytes), std::vector<long>{size});
  EXPECT_EQ(line.Values(kBytesSent), (std::vector<long>{5, 260, 306, 562, size}));
  EXPECT_EQ(line.sim.out().find("LINE WITHOUT CR"), std::string::npos);
}

TEST(HexTransfer, CancelInTheAckWaitOrTheBankPauseEndsTheTransferNormally) {
  const long all = static_cast<long>(kHex.size());
  // The ACK wait would last five seconds, the pause a minute: both end when cancelled, before
  // the line times out or the next bank starts.
  const struct {
    const char* name;
    std::vector<std::string> sim;
    long cancelAfter;  // bytes sent
    std::vector<long> sent;
  } cases[] = {{"ack wait", {"--ack-limit", "1"}, 44, {44}},
               {"bank pause", {}, all, {44, 88, all}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Line line(c.sim);
    WriteBytes(line.dir.File("a.h00"), kHex);
    WriteBytes(line.dir.File("a.h01"), kHex);
    std::thread canceller([&] {
      EXPECT_TRUE(line.WaitForReport(kBytesSent, c.cancelAfter, 20000));
      line.cancel.Set();
    });
    UploadJob job = line.Job("a.h00");
    job.bankPauseMs = 60000;
    RunHexTransfer(job);
    canceller.join();
    line.WaitForSim();
    line.ExpectCancelledThenDone();
    EXPECT_EQ(line.Values(kBankNumber), std::vector<long>{1});  // no further bank
    EXPECT_EQ(line.Values(kBytesSent), c.sent);
  }
}

TEST(HexTransfer, NoAckAfterFiftyReadsEndsWithTimeOut) {
  Line line({"--ack-limit", "2"});
  WriteBytes(line.dir.File("app.hex"), kHex);
  const auto start = Clock::now();
  RunHexTransfer(line.Job("app.hex"));
  const auto took = Clock::now() - start;
  line.WaitForSim();
  EXPECT_EQ(line.Final(), kNoAck);
  EXPECT_EQ(line.Codes(kDone).size(), 0u);
  EXPECT_EQ(line.Values(kBytesSent).size(), 2u);
  // 50 reads of up to 100 ms with 10 ms pauses.
  EXPECT_GE(took, std::chrono::milliseconds(5000));
}

TEST(HexTransfer, PortAndFileFailuresAreReportedWithTheirCodes) {
  TempDir dir;
  WriteBytes(dir.File("ComRemap.ini"),
             "[Remap]\nCOM1=/nonexistent/tty\nCOM2=" + dir.File("x") + "\n");
  std::vector<Report> reports;
  UploadJob job;
  job.remapFile = dir.File("ComRemap.ini");
  job.path = dir.File("app.hex");
  job.report = [&](const Report& r) { reports.push_back(r); };
  RunHexTransfer(job);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].code, kPortError);
  EXPECT_EQ(reports[0].value, ENOENT);
  reports.clear();
  job.portIndex = 8;  // COM9 does not exist: no system error
  RunScriptTransfer(job);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].code, kPortError);
  EXPECT_EQ(reports[0].value, 0);

  // Without a remap file beside the program, the user's one counts.
  if (access(DefaultRemapFile().c_str(), F_OK) != 0) {
    const char* before = std::getenv("XDG_CONFIG_HOME");
    const std::string kept = before != nullptr ? before : "";
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    mkdir(dir.File("VARDA").c_str(), 0700);
    WriteBytes(dir.File("VARDA/ComRemap.ini"), "[Remap]\nCOM1=ttyUSB3\n");
    EXPECT_EQ(DevicePath(1, DefaultRemapFile()), "/dev/ttyUSB3");
    before != nullptr ? setenv("XDG_CONFIG_HOME", kept.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
  }

  Line line;
  RunHexTransfer(line.Job("missing.hex"));
  line.WaitForSim();
  EXPECT_EQ(line.Final(), kFileError);
  EXPECT_EQ(line.Values(kFileError), std::vector<long>{0});
}

TEST(HexFile, PiecesAndBankFiles) {
  const struct {
    std::string content;
    std::vector<std::string> pieces;
    std::vector<long> lengths;
  } cases[] = {
      {"a\r\n\nb", {"a", "", "b"}, {3, 1, 1}},
      {"", {}, {}},
      // A Ctrl-Z at the end marks the end of the text and is not part of it.
      {"a\r\nb\r\n\x1a", {"a", "b"}, {3, 3}},
      {"a\nb\x1a\r\n\x1a", {"a", "b"}, {2, 1}},
      {"\x1a", {}, {}},
      {"a\x1a\nb\n", {"a\x1a", "b"}, {3, 2}},  // inside the text it is text
  };
  for (const auto& c : cases) {
    std::vector<long> lengths;
    EXPECT_EQ(HexPieces(c.content, &lengths), c.pieces) << c.content;
    EXPECT_EQ(lengths, c.lengths) << c.content;
  }
  TempDir dir;
  WriteBytes(dir.File("S.h00"), "x");
  WriteBytes(dir.File("S.h01"), "x");
  WriteBytes(dir.File("S.h02"), "x");
  EXPECT_EQ(BankFiles(dir.File("S.h00")).size(), 3u);
  EXPECT_EQ(BankFiles(dir.File("S.hex")), std::vector<std::string>{dir.File("S.hex")});
  EXPECT_TRUE(BankFiles(dir.File("T.h00")).empty());
}

TEST(ScriptFormat, EnvelopeClockEndAndFrames) {
  EXPECT_EQ(Envelope("AB"), std::string("\x02\x01"
                                        "AB\x03"
                                        "89\r"));
  EXPECT_EQ(Envelope("").size(), 6u);
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 6;
  t.tm_hour = 14;
  t.tm_min = 5;
  t.tm_sec = 9;
  EXPECT_EQ(ClockPayload(t), kEsc + "Z261206140509" + kEsc);
  EXPECT_EQ(EndPayload(), kEsc + "B" + kEsc);
  EXPECT_EQ(HandshakeString(1), "*b8#");

  const std::string file =
      "head\r\n" + kEsc + "A1" + kEsc + kEsc + "B2" + kEsc + kEsc + "C3" + kEsc + "\r\n";
  EXPECT_EQ(CountFrameJoints(file), 2);  // three frames, two joints
  EXPECT_EQ(SplitFrames(file),
            (std::vector<std::string>{kEsc + "A1" + kEsc, kEsc + "B2" + kEsc, kEsc + "C3" + kEsc}));
  EXPECT_EQ(CountFrameJoints(kEsc + "A" + kEsc + "\n" + kEsc + "B" + kEsc), 0);
  EXPECT_EQ(SplitFrames("no frames"), std::vector<std::string>{});
}

const std::string kScript = "Mokri application\r\n" + kEsc + "H,APP,1.0" + kEsc + kEsc +
                            "F,1,NAME,20" + kEsc + kEsc + "M,MAIN,Start" + kEsc;

TEST(ScriptTransfer, ClockFramesAndEndArriveInCheckedEnvelopes) {
  Line line;
  WriteBytes(line.dir.File("app.exs"), kScript);
  RunScriptTransfer(line.Job("app.exs"));
  line.WaitForSim();
  const std::string& out = line.sim.out();
  EXPECT_EQ(out.find("BAD"), std::string::npos) << out;
  const auto clock = out.find("CLOCK ");
  ASSERT_NE(clock, std::string::npos) << out;
  EXPECT_EQ(out.find('\n', clock) - clock, 6u + 12u);
  EXPECT_LT(clock, out.find("FRAME 1"));
  EXPECT_NE(out.find("END"), std::string::npos);
  EXPECT_EQ(ReadBytes(line.received()), kScript.substr(kScript.find(kEsc)));
  EXPECT_EQ(line.Values(kRate), std::vector<long>{3});
  EXPECT_EQ(line.Values(kFrameCount), std::vector<long>{3});
  EXPECT_EQ(line.Values(kFrameSent), (std::vector<long>{1, 2, 3}));
  EXPECT_EQ(line.Final(), kDone);
}

TEST(ScriptTransfer, MissingAckTextEndsWithCode17) {
  Line line({"--ack-text", "<NAK>"});
  WriteBytes(line.dir.File("app.exs"), kScript);
  RunScriptTransfer(line.Job("app.exs"));
  line.WaitForSim();
  EXPECT_EQ(line.Final(), kNoFrameAck);
  EXPECT_TRUE(line.Values(kFrameSent).empty());
  EXPECT_EQ(line.sim.out().find("END"), std::string::npos);
}

TEST(ScriptTransfer, CancelSendsTheEndAndReportsCancelThenDone) {
  Line line({"--ack-limit", "1"});
  WriteBytes(line.dir.File("app.exs"), kScript);
  std::thread canceller([&] {
    EXPECT_TRUE(line.WaitForReport(kFrameSent, 1, 20000));
    line.cancel.Set();
  });
  RunScriptTransfer(line.Job("app.exs"));
  canceller.join();
  line.WaitForSim();
  line.ExpectCancelledThenDone();
  EXPECT_EQ(line.Values(kFrameSent), std::vector<long>{1});
  EXPECT_NE(line.sim.out().find("END"), std::string::npos);
}

TEST(ScriptTransfer, FilesWithoutJoinedFramesOrWithOversizedFramesAreRejected) {
  for (const std::string& content :
       {std::string("plain text\n"), kEsc + "A" + kEsc + "\r\n" + kEsc + "B" + kEsc,
        kEsc + std::string(1017, 'x') + kEsc + kEsc + "B" + kEsc}) {
    Line line;
    WriteBytes(line.dir.File("bad.exs"), content);
    RunScriptTransfer(line.Job("bad.exs"));
    EXPECT_EQ(line.Codes(), (std::vector<int>{kRate, kWrongFormat}));
    EXPECT_EQ(line.sim.out().find("CLOCK"), std::string::npos);
  }
  Line line;
  RunScriptTransfer(line.Job("missing.exs"));
  EXPECT_EQ(line.Codes(), (std::vector<int>{kRate, kFileError}));
}

}  // namespace
