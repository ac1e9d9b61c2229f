// The further send modes (binary chunks, HEX records, plain lines) against the terminal
// simulator: what arrives byte for byte, files refused before anything is sent, and a cancel
// while the terminal keeps silent.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "protocols/dl.h"
#include "protocols/ms_comm.h"
#include "protocols/uph.h"
#include "serial/result_codes.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::ChildProcess;
using test::TempDir;

constexpr int kWaitMs = 20000;

enum class Mode { kMsComm, kUph, kDl };

struct Outcome {
  int result = 1;
  int lastLongLine = -1;
  bool expectAck = false;
  std::vector<std::vector<int>> progress;
};

// Opens the mode's port on the simulator's line and sends `file` once the terminal is ready;
// `during` runs on its own thread meanwhile and may cancel the send.
template <class Port>
Outcome SendOver(ChildProcess& sim, const std::string& file,
                 const std::function<void(Port&)>& during) {
  Outcome o;
  Port port;
  const std::string& out = sim.out();
  if (port.Open(out.substr(5, out.find('\n') - 5)) <= 0 || !sim.WaitForOutput("READY", kWaitMs)) {
    return o;
  }
  std::thread helper;
  if (during) helper = std::thread([&] { during(port); });
  o.result = port.SendFile(file, [&o](int, int blocks, int bytes, int percent) {
    o.progress.push_back({blocks, bytes, percent});
  });
  if (helper.joinable()) helper.join();
  if constexpr (!std::is_same_v<Port, TOrvMsComm>) o.lastLongLine = port.lastLongLine;
  if constexpr (std::is_same_v<Port, TOrvDL>) o.expectAck = port.expectAck;
  port.Close();
  return o;
}

struct ModeCase {
  const char* name;
  Mode mode;
  std::vector<std::string> simArgs;
  const char* fileName;
  std::string content;
  int result;
  std::string received;  // what the terminal wrote; "-" when it must write nothing
  int simExit;
  int lastLongLine = 0;
  bool expectAck = true;
  bool readOnly = false;
};

std::string AllByteValues(size_t size) {
  std::string bytes;
  for (size_t i = 0; i < size; ++i) bytes += static_cast<char>((i * 7) % 256);
  return bytes;
}

const std::string kLine97(97, 'x');

std::vector<ModeCase> Cases() {
  return {
      {"ChunksOf128", Mode::kMsComm, {}, "prog.bin", AllByteValues(300), 0, AllByteValues(300), 0},
      {"EmptyReadOnlyFile", Mode::kMsComm, {}, "leer.bin", "", 0, "", 0, 0, true, true},
      {"HexRecordsUpToEndRecord",
       Mode::kUph,
       {},
       "ab.hex",
       ":0400100001020304E6\r\n:02FF2000AABB77\r\n:00000001FF\r\n:zz\r\n",
       0,
       "AB      \n001001020304\nFF20AABB\n",
       0},
      {"HexLineTooLong",
       Mode::kUph,
       {},
       "lang.hex",
       ":0400100001020304E6\r\n" + std::string(100, '0') + "\r\n",
       rc::kSendLineTooLong,
       "-",
       1,
       2},
      {"HexLineNoRecord",
       Mode::kUph,
       {},
       "kurz.hex",
       ":04001000010203\r\n",
       rc::kBadHexRecord,
       "-",
       1,
       1},
      {"LinesWithAck",
       Mode::kDl,
       {},
       "t.txt",
       "Zeile 1\r\nZeile 2\n" + kLine97 + "\r\n",
       0,
       "Zeile 1\r\nZeile 2\r\n" + kLine97 + "\r\n",
       0},
      {"LinesWithoutFirstAck",
       Mode::kDl,
       {"--no-first-ack"},
       "t.txt",
       "A\r\nB\r\nC\r\n",
       0,
       "A\r\nB\r\nC\r\n",
       0,
       0,
       false},
      {"EmptyLineEndsTheSend", Mode::kDl, {}, "t.txt", "A\r\n\r\nB\r\n", 0, "A\r\n", 0},
      {"EmptyFirstLineSendsNothing", Mode::kDl, {}, "t.txt", "\r\nA\r\n", 0, "", 0},
      {"LineTooLong",
       Mode::kDl,
       {},
       "t.txt",
       "A\r\n" + kLine97 + "y\r\n",
       rc::kSendLineTooLong,
       "",
       0,
       2},
      {"CancelChunks",
       Mode::kMsComm,
       {"--silent-after", "1"},
       "p.bin",
       AllByteValues(1000),
       rc::kAborted,
       "-",
       1},
      {"CancelRecords",
       Mode::kUph,
       {"--silent-after", "2"},
       "c.hex",
       ":0100000001FE\r\n:0100010002FC\r\n:0100020003FA\r\n",
       rc::kAborted,
       "-",
       1},
      {"CancelLines",
       Mode::kDl,
       {"--silent-after", "1"},
       "t.txt",
       "A\r\nB\r\nC\r\n",
       rc::kAborted,
       "-",
       1},
  };
}

void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

class SendModes : public testing::TestWithParam<ModeCase> {};

TEST_P(SendModes, TerminalGetsExactlyTheModesData) {
  const ModeCase& c = GetParam();
  TempDir dir;
  const std::string file = dir.File(c.fileName);
  test::WriteBytes(file, c.content);
  if (c.readOnly) chmod(file.c_str(), 0444);
  const char* option = c.mode == Mode::kMsComm ? "--receive-mscomm"
                       : c.mode == Mode::kUph  ? "--receive-uph"
                                               : "--receive-dl";
  std::vector<std::string> argv = {std::string(QUILLON_BIN_DIR) + "/quillon-sim", "--pty", option,
                                   "got"};
  argv.insert(argv.end(), c.simArgs.begin(), c.simArgs.end());
  ChildProcess sim;
  ASSERT_TRUE(sim.Start(argv, dir.path()) && sim.WaitForOutput("\n", kWaitMs)) << sim.err();

  // A cancel comes once the terminal has fallen silent.
  auto cancel = [&sim](TOrvComm& port) {
    if (sim.WaitForOutput("SILENT", kWaitMs)) port.SetAbortRequested(true);
  };
  const bool cancelling = c.result == rc::kAborted;
  Outcome o;
  switch (c.mode) {
    case Mode::kMsComm:
      o = SendOver<TOrvMsComm>(sim, file,
                               cancelling ? std::function<void(TOrvMsComm&)>(cancel) : nullptr);
      break;
    case Mode::kUph:
      o = SendOver<TOrvUph>(sim, file,
                            cancelling ? std::function<void(TOrvUph&)>(cancel) : nullptr);
      break;
    case Mode::kDl:
      o = SendOver<TOrvDL>(sim, file, cancelling ? std::function<void(TOrvDL&)>(cancel) : nullptr);
      break;
  }
  EXPECT_EQ(o.result, c.result);
  EXPECT_EQ(sim.Wait(kWaitMs), c.simExit) << sim.err();
  if (c.received == "-") {
    EXPECT_NE(access(dir.File("got").c_str(), F_OK), 0) << "the terminal took nothing";
  } else {
    EXPECT_EQ(test::ReadBytes(dir.File("got")), c.received) << sim.err();
  }
  if (c.mode != Mode::kMsComm) {
    EXPECT_EQ(o.lastLongLine, c.lastLongLine);
  }
  if (c.mode == Mode::kDl && c.result == 0) {
    EXPECT_EQ(o.expectAck, c.expectAck) << "the first line's ACK decides";
  }
  // The file is sent as it is: never changed, never deleted.
  EXPECT_EQ(test::ReadBytes(file), c.content);
  ASSERT_FALSE(o.progress.empty());
  EXPECT_EQ(o.progress.front(), (std::vector<int>{0, 0, 0}));
  const bool whole = c.mode != Mode::kDl || c.received.size() >= c.content.size();
  if (c.result == 0 && !c.received.empty() && whole) {
    EXPECT_EQ(o.progress.back()[2], 100);
  }
}

INSTANTIATE_TEST_SUITE_P(All, SendModes, testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillon
