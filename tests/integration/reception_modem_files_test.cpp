// X-, Y- and Z-Modem reception as a user runs it (`quillon /headless`), with lrzsz's senders as
// the terminal: the receiver on one pseudo-terminal, the sender on another, the test relaying
// the bytes between them (and holding them back where a transfer is to be caught midway).
// Receive threads in this process serve what the headless program offers no way to: the send
// side's pause, and a modem on the line played by the test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/clock.h"
#include "config/settings_types.h"
#include "receive/reception_control.h"
#include "serial/com_remap.h"
#include "serial/orv_comm.h"
#include "support/child_process.h"
#include "support/pty_pair.h"
#include "support/recording_sink.h"
#include "support/station.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::ChildProcess;
using test::Key;
using test::kS2;
using test::kS3;
using test::kS8;
using test::kWaitMs;
using test::PtyPair;
using test::ReadBytes;
using test::RecordingSink;
using test::Station;
using test::TempDir;
using test::WriteBytes;

// Copies bytes between the masters of the receiver's and the terminal's line. From the
// terminal to the receiver it passes at most `limit` bytes and then holds the rest back.
class Relay {
 public:
  Relay(PtyPair& receiver, PtyPair& terminal, size_t limit = SIZE_MAX)
      : receiver_(receiver.master()), terminal_(terminal.master()), limit_(limit) {
    for (const int fd : {receiver_, terminal_}) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    thread_ = std::thread([this] { Run(); });
  }
  ~Relay() {
    const uint64_t one = 1;
    (void)write(stop_, &one, sizeof one);
    thread_.join();
    close(stop_);
  }
  // Waits until the limit is reached.
  bool WaitHeld() {
    std::unique_lock lock(mutex_);
    return held_cv_.wait_for(lock, std::chrono::milliseconds(kWaitMs), [this] { return held_; });
  }

 private:
  void Run() {
    char buf[4096];
    for (;;) {
      const bool holding = passed_ >= limit_;
      pollfd fds[3] = {
          {stop_, POLLIN, 0}, {receiver_, POLLIN, 0}, {holding ? -1 : terminal_, POLLIN, 0}};
      if (poll(fds, 3, -1) < 0 && errno != EINTR) return;
      if (fds[0].revents != 0) return;
      if ((fds[1].revents & POLLIN) && !Pass(receiver_, terminal_, buf, sizeof buf)) return;
      if ((fds[2].revents & POLLIN) &&
          !Pass(terminal_, receiver_, buf, std::min(sizeof buf, limit_ - passed_), &passed_)) {
        return;
      }
      if (passed_ >= limit_) {
        std::lock_guard lock(mutex_);
        held_ = true;
        held_cv_.notify_all();
      }
    }
  }
  // False once the relay is to stop.
  bool Pass(int from, int to, char* buf, size_t max, size_t* count = nullptr) {
    const ssize_t n = read(from, buf, max);
    if (n < 0) return errno == EAGAIN || errno == EINTR;
    if (n == 0) return false;
    if (count != nullptr) *count += static_cast<size_t>(n);
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = write(to, buf + done, static_cast<size_t>(n - done));
      if (w > 0) {
        done += w;
        continue;
      }
      pollfd fds[2] = {{stop_, POLLIN, 0}, {to, POLLOUT, 0}};
      poll(fds, 2, -1);
      if (fds[0].revents != 0) return false;
    }
    return true;
  }

  const int receiver_;
  const int terminal_;
  const size_t limit_;
  size_t passed_ = 0;
  const int stop_ = eventfd(0, EFD_CLOEXEC);
  std::mutex mutex_;
  std::condition_variable held_cv_;
  bool held_ = false;
  std::thread thread_;
};

// Every byte value, the ones a line may swallow (CAN, XON, XOFF, 0xFF) among them, then a
// reproducible mix.
std::string AwkwardBytes(size_t size) {
  std::string data;
  for (int i = 0; i < 256 && data.size() < size; ++i) data += static_cast<char>(i);
  uint32_t x = 12345;
  while (data.size() < size) {
    x = x * 1103515245u + 12345u;
    data += static_cast<char>(x >> 16);
  }
  return data;
}

// One receiver with COM1 on a relayed line to an lrzsz sender, receiving with `protocol`.
struct ModemLine {
  explicit ModemLine(int protocol, size_t limit = SIZE_MAX)
      : relay(std::make_unique<Relay>(receiverLine, terminalLine, limit)) {
    s.RemapOnly(1, receiverLine.path());
    s.Port(1, {{Key(kS2, "Protokoll"), std::to_string(protocol)},
               {Key(kS3, "Dateiname"), s.dir.File("ziel.dat")},
               {Key(kS8, "Protokolldatei"), "2"}});
  }
  bool Start() {
    return s.StartReceiver() && s.receiver.WaitForOutput("Schnittstelle wird geöffnet", kWaitMs);
  }
  // Runs `command` (an lrzsz sender) with the file `name` holding `data` on the terminal line.
  bool Send(ChildProcess& sender, const std::string& command, const std::string& name,
            const std::string& data) {
    WriteBytes(s.dir.File(name), data);
    return sender.Start({"/bin/sh", "-c",
                         "exec " + command + " '" + name + "' <" + terminalLine.path() + " >" +
                             terminalLine.path()},
                        s.dir.path());
  }

  Station s;
  PtyPair receiverLine;
  PtyPair terminalLine;
  std::unique_ptr<Relay> relay;
};

// Receive threads in this process on COM1 to COMn, each on its own line, with `protocols[n-1]`.
struct ThreadsOnLines {
  explicit ThreadsOnLines(const std::vector<int>& protocols, bool modem = false) {
    std::string remap = "[Remap]\r\n";
    for (int port = 1; port <= static_cast<int>(protocols.size()); ++port) {
      lines.push_back(std::make_unique<PtyPair>());
      remap += "COM" + std::to_string(port) + "=" + lines.back()->path() + "\r\n";
      TQuillonOpt& opt = app.PortSettings[port];
      opt.PortName = "COM" + std::to_string(port) + ":";
      opt.Baudrate = 9600;
      opt.DataBits = 8;
      opt.StopBits = 1;
      opt.AckNakRxTimeout = 1000;
      opt.Enabled = true;
      opt.Protocol = protocols[port - 1];
      opt.ModemEnabled = modem;
      opt.FileName = dir.File("ziel" + std::to_string(port) + ".dat");
      opt.LogLevel = 1;
      app.GlobalApp.PortActive[port] = true;
    }
    WriteBytes(dir.File("ComRemap.ini"), remap);
    SetComRemapDirectory(dir.path());
    app.AppInfo.ProgramDir = dir.path() + "/";
    app.AppInfo.IniPath = dir.File("quillon.ini");
  }
  ~ThreadsOnLines() {
    control->Stop();
    env->ui.Detach();
    SetComRemapDirectory(QUILLON_BIN_DIR);
  }

  PtyPair& Line(int port) { return *lines[port - 1]; }
  std::string Log(int port) {
    std::lock_guard lock(app.GlobalApp.ListLock);
    std::string all;
    for (const auto& line : env->status[port].LogLines) all += line + "\n";
    return all;
  }
  // Waits until a logbook line of the port contains `text`.
  bool LogShows(int port, const std::string& text) {
    const uint64_t end = Clock() + kWaitMs;
    while (Log(port).find(text) == std::string::npos) {
      if (Clock() >= end) return false;
      Delay(10);
    }
    return true;
  }
  // Whether somebody else could open the port's line now.
  static bool LineIsFree(int port) {
    TOrvComm other;
    const bool opened = other.Open("COM" + std::to_string(port) + ":", 9600, 8, 0, 1) > 0;
    if (opened) other.Close();
    return opened;
  }

  TempDir dir;
  std::vector<std::unique_ptr<PtyPair>> lines;
  RecordingSink ui;
  std::shared_ptr<ReceptionEnv> env = std::make_shared<ReceptionEnv>(ui);
  AppContext& app = env->app;
  std::unique_ptr<ReceptionControl> control =
      std::make_unique<ReceptionControl>(env, [](int, const std::string&) {});
};

// Starts `command` (an lrzsz sender) in `dir` with the file `name` holding `data` on `line`.
bool StartSender(ChildProcess& sender, const std::string& command, PtyPair& line,
                 const TempDir& dir, const std::string& name, const std::string& data) {
  WriteBytes(dir.File(name), data);
  return sender.Start(
      {"/bin/sh", "-c", "exec " + command + " '" + name + "' <" + line.path() + " >" + line.path()},
      dir.path());
}

// Reads the line until `done` holds for what came, at most `ms`.
std::string ReadUntil(PtyPair& line, const std::function<bool(const std::string&)>& done, int ms) {
  std::string seen;
  const uint64_t end = Clock() + static_cast<uint64_t>(ms);
  while (!done(seen) && Clock() < end) seen += line.Read(1, static_cast<int>(end - Clock()));
  return seen;
}

TEST(ReceptionModemFiles, ZYAndXModemFilesAreStoredAsSent) {
  const struct {
    int protocol;
    const char* command;
    bool carriesName;
  } cases[] = {{4, "sz -q", true}, {3, "sb -q", true}, {2, "sx -k -q", false}};
  const std::string data = AwkwardBytes(3001);
  std::unique_ptr<ModemLine> lines[3];
  ChildProcess senders[3];
  for (int i = 0; i < 3; ++i) {
    lines[i] = std::make_unique<ModemLine>(cases[i].protocol);
    ASSERT_TRUE(lines[i]->Start()) << lines[i]->s.receiver.out();
    ASSERT_TRUE(lines[i]->Send(senders[i], cases[i].command, "mit Leer.bin", data));
  }
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(cases[i].command);
    Station& s = lines[i]->s;
    EXPECT_EQ(senders[i].Wait(kWaitMs), 0) << senders[i].err();
    ASSERT_TRUE(s.receiver.WaitForOutput("Datenblöcke in Datei", kWaitMs)) << s.receiver.out();
    EXPECT_EQ(s.StopReceiver(), 0);
    std::string expected = data;
    // X-Modem carries no length: the last block's padding is part of the file.
    if (!cases[i].carriesName) expected.append((128 - data.size() % 128) % 128, '\x1A');
    EXPECT_EQ(ReadBytes(s.dir.File("ziel.dat")), expected);
    const std::string& out = s.receiver.out();
    EXPECT_NE(out.find(std::string("Empfange Datei ") +
                       (cases[i].carriesName ? "mit Leer.bin" : s.dir.File("rxtmp1.dat"))),
              std::string::npos)
        << out;
    // The whole blocks of 128 shown while receiving, one more when stored.
    const std::string stored = std::to_string(expected.size() / 128 + 1) + " Datenblöcke in Datei ";
    EXPECT_NE(out.find(stored + s.dir.File("ziel.dat")), std::string::npos) << out;
    EXPECT_EQ(out.find("Fehler"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(s.dir.File("rxtmp1.dat")));
  }
}

TEST(ReceptionModemFiles, StoppingDuringAZModemTransferLeavesNoFile) {
  ModemLine line(4, 256 * 1024);
  ASSERT_TRUE(line.Start()) << line.s.receiver.out();
  ChildProcess sender;
  ASSERT_TRUE(line.Send(sender, "sz -q", "gross.bin", AwkwardBytes(1024 * 1024)));
  ASSERT_TRUE(line.relay->WaitHeld());
  ASSERT_TRUE(line.s.receiver.WaitForOutput("Empfange Datei gross.bin", kWaitMs))
      << line.s.receiver.out();
  EXPECT_EQ(line.s.StopReceiver(), 0) << line.s.receiver.err();
  EXPECT_EQ(line.s.receiver.out().find("Fehler"), std::string::npos) << line.s.receiver.out();
  EXPECT_FALSE(std::filesystem::exists(line.s.dir.File("ziel.dat")));
  EXPECT_FALSE(std::filesystem::exists(line.s.dir.File("rxtmp1.dat")));
}

TEST(ReceptionModemFiles, ATransferCancelledAfterDataIsReportedAndTheNextOneIsReceived) {
  ModemLine line(4, 64 * 1024);
  ASSERT_TRUE(line.Start()) << line.s.receiver.out();
  {
    ChildProcess sender;
    ASSERT_TRUE(line.Send(sender, "sz -q", "erst.bin", AwkwardBytes(512 * 1024)));
    ASSERT_TRUE(line.relay->WaitHeld());
    ASSERT_TRUE(line.s.receiver.WaitForOutput("Empfange Datei erst.bin", kWaitMs));
    // The terminal gives up: the cancel sequence instead of the rest of the data.
    line.relay.reset();
    line.receiverLine.Write(std::string(8, '\x18') + std::string(8, '\x08'));
    ASSERT_TRUE(
        line.s.receiver.WaitForOutput("Fehler beim Empfangen der Datei erst.bin (3)", kWaitMs))
        << line.s.receiver.out();
  }
  EXPECT_NE(line.s.receiver.out().find("Fehler beim ZMODEM-Empfang der Datei erst.bin"),
            std::string::npos)
      << line.s.receiver.out();
  EXPECT_FALSE(std::filesystem::exists(line.s.dir.File("ziel.dat")));

  // The next transfer, on a fresh terminal line, arrives whole.
  PtyPair fresh;
  line.relay = std::make_unique<Relay>(line.receiverLine, fresh);
  // The relay reads `fresh`: it ends before `fresh` goes, also when an assertion ends the test.
  struct StopRelay {
    std::unique_ptr<Relay>& relay;
    ~StopRelay() { relay.reset(); }
  } stopRelay{line.relay};
  ChildProcess sender;
  const std::string data = AwkwardBytes(2000);
  WriteBytes(line.s.dir.File("zwei.bin"), data);
  ASSERT_TRUE(
      sender.Start({"/bin/sh", "-c", "exec sz -q zwei.bin <" + fresh.path() + " >" + fresh.path()},
                   line.s.dir.path()));
  EXPECT_EQ(sender.Wait(kWaitMs), 0) << sender.err();
  ASSERT_TRUE(line.s.receiver.WaitForOutput("Datenblöcke in Datei", kWaitMs))
      << line.s.receiver.out();
  EXPECT_EQ(line.s.StopReceiver(), 0);
  EXPECT_EQ(ReadBytes(line.s.dir.File("ziel.dat")), data);
}

TEST(ReceptionModemFiles, APauseEndsATransferQuietlyFreesTheLineAndTheNextFileArrives) {
  ThreadsOnLines t({4});
  PtyPair terminal;
  PtyPair fresh;
  auto relay = std::make_unique<Relay>(t.Line(1), terminal, 64 * 1024);
  t.control->Start();
  ASSERT_TRUE(t.LogShows(1, "Schnittstelle wird geöffnet")) << t.Log(1);
  ChildProcess sender;
  ASSERT_TRUE(
      StartSender(sender, "sz -q", terminal, t.dir, "gross.bin", AwkwardBytes(1024 * 1024)));
  ASSERT_TRUE(relay->WaitHeld());
  ASSERT_TRUE(t.LogShows(1, "Empfange Datei gross.bin")) << t.Log(1);

  ASSERT_TRUE(t.control->RequestPause(1)) << t.Log(1);
  EXPECT_TRUE(ThreadsOnLines::LineIsFree(1));
  EXPECT_FALSE(std::filesystem::exists(t.dir.File("rxtmp1.dat")));
  EXPECT_FALSE(std::filesystem::exists(t.dir.File("ziel1.dat")));
  EXPECT_EQ(t.Log(1).find("Fehler"), std::string::npos) << t.Log(1);
  sender.Signal(SIGKILL);
  sender.Wait(kWaitMs);
  relay.reset();
  // The receiver's cancel, already on the line: no terminal reads it any more.
  fcntl(t.Line(1).master(), F_SETFL, fcntl(t.Line(1).master(), F_GETFL) | O_NONBLOCK);
  for (char buf[4096]; read(t.Line(1).master(), buf, sizeof buf) > 0;) {
  }

  t.control->ReleasePause(1);
  ASSERT_TRUE(t.LogShows(1, "Schnittstelle wird für den Datenempfang wieder geöffnet"));
  relay = std::make_unique<Relay>(t.Line(1), fresh);
  ChildProcess next;
  const std::string data = AwkwardBytes(2000);
  ASSERT_TRUE(StartSender(next, "sz -q", fresh, t.dir, "zwei.bin", data));
  EXPECT_EQ(next.Wait(kWaitMs), 0) << next.err();
  ASSERT_TRUE(t.LogShows(1, "ziel1.dat abgespeichert")) << t.Log(1);
  EXPECT_EQ(ReadBytes(t.dir.File("ziel1.dat")), data);
  EXPECT_EQ(t.Log(1).find("Fehler"), std::string::npos) << t.Log(1);
}

TEST(ReceptionModemFiles, BehindAModemCallASilentAttemptIsFollowedByAnotherOne) {
  // The request that opens an attempt: X- and Y-Modem's 'C', Z-Modem's ZRINIT header.
  const struct {
    int protocol;
    std::string request;
  } cases[] = {{2, "C"},
               {3, "C"},
               {4,
                "**\x18"
                "B01"}};
  ThreadsOnLines t({2, 3, 4}, true);
  t.control->Start();
  // The modem answers the presence check and rings at once; the call needs no password.
  for (int port = 1; port <= 3; ++port) {
    const std::string asked = ReadUntil(
        t.Line(port), [](const std::string& s) { return s.find("AT\r") != std::string::npos; },
        kWaitMs);
    ASSERT_NE(asked.find("AT\r"), std::string::npos) << asked;
    t.Line(port).Write("OK\r\nRING\r\n");
  }
  // A silent attempt ends with the cancel (a run of CANs); the next one starts without the
  // call being hung up in between.
  const std::string cancel(5, '\x18');
  for (int port = 1; port <= 3; ++port) {
    SCOPED_TRACE(cases[port - 1].protocol);
    const std::string& request = cases[port - 1].request;
    const std::string seen = ReadUntil(
        t.Line(port),
        [&](const std::string& s) {
          const size_t c = s.find(cancel);
          return c != std::string::npos && s.find(request, c + cancel.size()) != std::string::npos;
        },
        120000);
    const size_t c = seen.find(cancel);
    ASSERT_NE(c, std::string::npos) << seen;
    EXPECT_NE(seen.find(request, c + cancel.size()), std::string::npos) << seen;
    EXPECT_EQ(seen.find("+++"), std::string::npos) << "hung up between the attempts";
  }
}

}  // namespace
}  // namespace quillon
