// Sending files to terminals: the command-line start file, "$tx" and "$s^update" through the
// running receiver (the port borrowed from its receive thread and received on again afterwards),
// and cancelled sends: into lrzsz and while the port is being freed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <future>
#include <string>
#include <thread>

#include "common/format.h"
#include "common/texts.h"
#include "receive/reception_control.h"
#include "receive/reception_env.h"
#include "send/tx_thread.h"
#include "support/child_process.h"
#include "support/fault_relay.h"
#include "support/pty_pair.h"
#include "support/recording_sink.h"
#include "support/station.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::kBin;
using test::Key;
using test::kS3;
using test::kWaitMs;
using test::ReadBytes;
using test::Station;
using test::WriteBytes;

// Lines of every printable kind, some near the mode's longest line (a block's or a plain
// line's).
std::string SendData(int longest) {
  std::string data;
  for (int i = 0; i < 120; ++i) {
    std::string line = "Zeile " + std::to_string(i) + " ";
    for (int c = 0; c < (i * 7) % longest; ++c) line += static_cast<char>(' ' + (i + c) % 95);
    data += line + "\r\n";
  }
  return data;
}

// Waits for a file to exist.
bool Appears(const std::string& path) {
  for (int waited = 0; waited < kWaitMs; waited += 10) {
    if (access(path.c_str(), F_OK) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// What a terminal received: the header line, then the data lines.
std::string Body(const std::string& received) {
  const auto end = received.find("\r\n");
  return end == std::string::npos ? std::string() : received.substr(end + 2);
}

enum class Way { kStartFile, kTxCommand, kUpdateCommand };

struct SendCase {
  const char* name;
  Way way;
};

class ReceiverSend : public testing::TestWithParam<SendCase> {};

TEST_P(ReceiverSend, FileArrivesExactlyAndReceptionGoesOn) {
  Station s;
  const Way way = GetParam().way;
  // "$s^update" sends plain lines (DL mode): at most 97 characters before CR LF.
  const std::string data = SendData(way == Way::kUpdateCommand ? 85 : 240);
  WriteBytes(s.dir.File("senden.txt"), data);
  WriteBytes(s.dir.File("data.txt"), "danach\r\n");
  std::vector<std::string> terminal = {"--receive", "got.txt"};
  std::vector<std::string> args;
  if (way == Way::kStartFile) {
    args = {"/com1 tx:" + s.dir.File("senden.txt")};
  } else if (way == Way::kTxCommand) {
    WriteBytes(s.dir.File("cmd.txt"), "$tx senden.txt$\r\n$tx fehlt.txt$\r\n");
    terminal = {"--send", "cmd.txt", "--receive", "got.txt", "--receive", "error.txt"};
  } else {
    // The lines end the send by falling silent for the final time-out.
    WriteBytes(s.dir.File("cmd.txt"), "$s^update senden.txt$\r\n");
    terminal = {"--send", "cmd.txt", "--receive-dl", "got.txt", "--final-timeout", "2000"};
  }
  terminal.insert(terminal.end(), {"--then-send", "data.txt"});
  ASSERT_TRUE(s.Terminal(1, terminal));
  // Held open while the receiver closes its side for the send and opens it again, as a real line
  // stays: a pseudo-terminal without any open side hangs up.
  const int holder = open(s.Line(1).c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(holder, 0);
  s.Port(1, {{Key(kS3, "Dateiname"), s.dir.File("ziel.dat")},
             {Key(test::kS8, "Protokolldatei"), "2"}});
  ASSERT_TRUE(s.StartReceiver(args));
  // "$s^update" waits 10 s before it sends.
  ASSERT_TRUE(s.sims[1]->WaitForOutput("SENT AFTER", 3 * kWaitMs))
      << s.sims[1]->err() << s.receiver.out();
  EXPECT_EQ(s.TerminalDone(1), 0) << s.sims[1]->err() << s.receiver.out();
  ASSERT_TRUE(s.receiver.WaitForOutput("ziel.dat abgespeichert", kWaitMs)) << s.receiver.out();
  EXPECT_EQ(s.StopReceiver(), 0);
  close(holder);

  const std::string got = ReadBytes(s.dir.File("got.txt"));
  EXPECT_EQ(way == Way::kUpdateCommand ? got : Body(got), data);
  EXPECT_EQ(ReadBytes(s.dir.File("ziel.dat")), "1QUILLON-SIM,data.txt\r\n+danach\r\n");
  if (way == Way::kTxCommand) {
    EXPECT_EQ(Body(ReadBytes(s.dir.File("error.txt"))),
              "$Error:Datei fehlt.txt nicht gefunden$\r\n")
        << "a missing file is told to the terminal";
  }
}

INSTANTIATE_TEST_SUITE_P(Send, ReceiverSend,
                         testing::Values(SendCase{"StartFile", Way::kStartFile},
                                         SendCase{"TxCommand", Way::kTxCommand},
                                         SendCase{"UpdateCommand", Way::kUpdateCommand}),
                         [](const auto& info) { return std::string(info.param.name); });

// The line-oriented modes through the send thread: each opens the port with its own line
// settings and reports its result; a UPH or DL file with an overlong line names file and line.
struct ModeCase {
  const char* name;
  int protocol;
  const char* simOption;
  std::string content;
  std::string received;  // empty: the send fails and the message names line 2
};

class SendThreadModes : public testing::TestWithParam<ModeCase> {};

TEST_P(SendThreadModes, ResultAsTheTerminalSawIt) {
  const ModeCase& c = GetParam();
  test::TempDir dir;
  const std::string file = dir.File("datei.hex");
  WriteBytes(file, c.content);
  test::ChildProcess sim;
  ASSERT_TRUE(sim.Start({kBin + "/quillon-sim", "--pty", c.simOption, "got"}, dir.path()) &&
              sim.WaitForOutput("\n", kWaitMs));
  const std::string& out = sim.out();
  test::RecordingSink sink;
  auto env = std::make_shared<ReceptionEnv>(sink);
  env->app.PortSettings[1].PortName = out.substr(5, out.find('\n') - 5);
  TTxThread sender(env, 1, {});
  ASSERT_TRUE(sender.Start(c.protocol, file));
  ASSERT_TRUE(sender.WaitIdle(kWaitMs));
  if (c.received.empty()) {
    EXPECT_EQ(sender.Result(), kSendResultFailed);
    EXPECT_NE(sender.Message().find(file + ", Zeile 2"), std::string::npos) << sender.Message();
    sim.Signal(SIGTERM);
  } else {
    EXPECT_EQ(sender.Result(), kSendResultNone) << sender.Message();
    sender.Cancel();  // joined: the port is closed and the terminal ends
    EXPECT_EQ(sim.Wait(kWaitMs), 0) << sim.err();
    EXPECT_EQ(ReadBytes(dir.File("got")), c.received);
  }
  sim.Wait(kWaitMs);
}

INSTANTIATE_TEST_SUITE_P(
    Send, SendThreadModes,
    testing::Values(
        ModeCase{"MsComm", kSendMsComm, "--receive-mscomm", "abc\x01\xff", "abc\x01\xff"},
        ModeCase{"Dl", kSendDl, "--receive-dl", "Zeile 1\r\nZeile 2\r\n", "Zeile 1\r\nZeile 2\r\n"},
        ModeCase{"UphLongLine", kSendUph, "--receive-uph",
                 ":0100000001FE\r\n" + std::string(100, '0') + "\r\n", ""},
        ModeCase{"DlLongLine", kSendDl, "--receive-dl", "A\r\n" + std::string(100, 'x') + "\r\n",
                 ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A receive thread that does not give its port up (it waits for a program a terminal started):
// after 10 s the send fails, nothing is sent, and the thread goes on once its program ends. A
// cancel meanwhile ends the send at once, and the port still goes back when the wait is over.
class SendThreadHeldPort : public testing::TestWithParam<bool> {};

TEST_P(SendThreadHeldPort, FailsOrEndsOnCancel) {
  const bool cancel = GetParam();
  test::TempDir dir;
  const std::string started = dir.File("started");
  const std::string release = dir.File("release");
  WriteBytes(dir.File("hold.sh"), "#!/bin/sh\ntouch " + started + "\nwhile [ ! -e " + release +
                                      " ]; do sleep 0.05; done\n");
  ASSERT_EQ(chmod(dir.File("hold.sh").c_str(), 0755), 0);
  WriteBytes(dir.File("cmd.txt"), "$exec&wait hold.sh$\r\n");
  WriteBytes(dir.File("senden.txt"), "nie\r\n");
  test::ChildProcess sim;
  ASSERT_TRUE(
      sim.Start({kBin + "/quillon-sim", "--pty", "--send", "cmd.txt", "--stay"}, dir.path()) &&
      sim.WaitForOutput("\n", kWaitMs));

  test::RecordingSink sink;
  auto env = std::make_shared<ReceptionEnv>(sink);
  env->app.AppInfo.ProgramDir = dir.path() + "/";
  env->app.AppInfo.IniPath = dir.File("quillon.ini");
  TQuillonOpt& opt = env->app.PortSettings[1];
  opt.PortName = sim.out().substr(5, sim.out().find('\n') - 5);
  opt.Baudrate = 9600;
  opt.DataBits = 8;
  opt.StopBits = 1;
  opt.AckNakRxTimeout = 1000;
  opt.Enabled = true;
  opt.FileName = dir.File("daten.txt");
  env->app.GlobalApp.PortActive[1] = true;
  ReceptionControl control(env, [](int, const std::string&) {});
  control.Start();
  ASSERT_TRUE(Appears(started));

  std::promise<void> borrowing;
  std::promise<void> givenBack;
  TTxThread sender(env, 1,
                   {[&](int port, const std::atomic<bool>& cancelled) {
                      borrowing.set_value();
                      return control.RequestPause(port, &cancelled);
                    },
                    [&](int port) {
                      control.ReleasePause(port);
                      givenBack.set_value();
                    },
                    [&](int port) { control.WakePauseWait(port); }});
  ASSERT_TRUE(sender.Start(kSendStandard, dir.File("senden.txt")));
  if (cancel) {
    borrowing.get_future().wait();
    // Well below the 10 s the port is waited for.
    auto cancelled = std::async(std::launch::async, [&] { sender.Cancel(); });
    ASSERT_EQ(cancelled.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(sender.Message(), "") << "a cancel is no failure to tell";
    // The borrow stops waiting too (well below its 10 s) and gives the port back while the
    // thread still holds it, so starting or stopping reception need not wait for it.
    EXPECT_EQ(givenBack.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
  } else {
    ASSERT_TRUE(sender.WaitIdle(kWaitMs));
    EXPECT_EQ(sender.Message(), Format(txt::kSendPortNotReleased, 1)) << "not a failed transfer";
  }
  EXPECT_EQ(sender.Result(), kSendResultFailed);
  WriteBytes(release, "");
  if (!cancel) {
    // Its program over, the thread gives the port up to the borrow still waiting, which hands
    // it back.
    EXPECT_EQ(givenBack.get_future().wait_for(std::chrono::milliseconds(kWaitMs)),
              std::future_status::ready);
  }
  control.Stop();
  env->ui.Detach();
  sim.Signal(SIGTERM);
  sim.Wait(kWaitMs);
}

INSTANTIATE_TEST_SUITE_P(SendThread, SendThreadHeldPort, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Cancelled" : "Waited"; });

// X-, Y- and Z-Modem through the send thread into lrzsz: the file arrives whole, and a cancel
// of a large file ends the send at once through the transfer's own means.
struct XyzCase {
  const char* name;
  int protocol;
  const char* receiver;  // lrzsz command line; it stores the file as `stored`
  const char* stored;
  bool cancel;
};

class SendThreadXyz : public testing::TestWithParam<XyzCase> {};

TEST_P(SendThreadXyz, SendsIntoLrzsz) {
  const XyzCase& c = GetParam();
  test::TempDir dir;
  test::PtyPair ours;
  test::PtyPair theirs;
  test::FaultRelay relay(ours.master(), theirs.master(), {});
  std::string content;
  if (c.cancel) {
    content.assign(16 << 20, 'x');
  } else {
    for (int i = 0; i < 5000; ++i) content += static_cast<char>(i * 7 % 256);
  }
  WriteBytes(dir.File("datei.bin"), content);
  ASSERT_EQ(mkdir(dir.File("in").c_str(), 0755), 0);
  test::ChildProcess peer;
  ASSERT_TRUE(
      peer.Start({"/bin/sh", "-c",
                  std::string("exec ") + c.receiver + " <" + theirs.path() + " >" + theirs.path()},
                 dir.File("in")));

  test::RecordingSink sink;
  auto env = std::make_shared<ReceptionEnv>(sink);
  env->app.PortSettings[1].PortName = ours.path();
  env->app.PortSettings[1].Baudrate = 115200;
  TTxThread sender(env, 1, {});
  ASSERT_TRUE(sender.Start(c.protocol, dir.File("datei.bin")));
  if (c.cancel) {
    // Under way: the first block went over.
    while (sender.Blocks() == 0 && sender.Running())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(sender.Running()) << "the file is large enough to be cancelled";
    auto cancelled = std::async(std::launch::async, [&] { sender.Cancel(); });
    ASSERT_EQ(cancelled.wait_for(std::chrono::milliseconds(kWaitMs)), std::future_status::ready);
    EXPECT_EQ(sender.Result(), kSendResultFailed);
    EXPECT_LT(sender.Bytes(), 16 << 20);
    peer.Signal(SIGTERM);
  } else {
    EXPECT_EQ(peer.Wait(kWaitMs), 0) << peer.err();
    std::string got = ReadBytes(dir.File(std::string("in/") + c.stored));
    if (c.protocol == kSendXModem) {
      // X-Modem pads the last block. rx flushes its line as it exits, which on a pseudo-terminal
      // can take its last ACK with it: the sender would wait for it in vain.
      EXPECT_EQ(got.substr(content.size()), std::string(got.size() - content.size(), '\x1a'));
      got.resize(std::min(got.size(), content.size()));
      sender.Cancel();
    } else {
      ASSERT_TRUE(sender.WaitIdle(kWaitMs));
      EXPECT_EQ(sender.Result(), kSendResultNone) << sender.Message();
    }
    EXPECT_EQ(got, content);
  }
  peer.Wait(kWaitMs);
}

INSTANTIATE_TEST_SUITE_P(
    SendThread, SendThreadXyz,
    testing::Values(XyzCase{"XModem", kSendXModem, "rx -cq got", "got", false},
                    XyzCase{"YModem", kSendYModem, "rb -q", "datei.bin", false},
                    XyzCase{"ZModem", kSendZModem, "rz -q", "datei.bin", false},
                    XyzCase{"XModemCancelled", kSendXModem, "rx -cq got", "got", true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillon
