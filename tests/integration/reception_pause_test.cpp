// A receive thread's life beside its transfers: the send side borrowing its port (the thread
// lets go of the line within one read time-out and takes it back), a thread given up at its stop,
// and the program's end waking every wait.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "common/clock.h"
#include "config/settings_types.h"
#include "receive/my_threads.h"
#include "receive/reception_control.h"
#include "serial/com_remap.h"
#include "serial/orv_comm.h"
#include "support/child_process.h"
#include "support/pty_pair.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::PtyPair;
using test::RecordingSink;
using test::TempDir;
using test::WriteBytes;

constexpr int kWaitMs = 20000;

// One receive thread on COM1, a pseudo-terminal nobody answers on, with its control and the
// environment it shares.
class ReceiveThreadOnPty : public ::testing::Test {
 protected:
  ReceiveThreadOnPty() {
    WriteBytes(dir.File("ComRemap.ini"), "[Remap]\r\nCOM1=" + pty.path() + "\r\n");
    SetComRemapDirectory(dir.path());
    app.AppInfo.ProgramDir = dir.path() + "/";
    app.AppInfo.IniPath = dir.File("quillon.ini");
    TQuillonOpt& opt = app.PortSettings[1];
    opt.PortName = "COM1:";
    opt.Baudrate = 9600;
    opt.DataBits = 8;
    opt.StopBits = 1;
    opt.AckNakRxTimeout = 1000;
    opt.Enabled = true;
    opt.FileName = dir.File("daten.txt");
    opt.LogLevel = 1;
    app.GlobalApp.PortActive[1] = true;
  }
  ~ReceiveThreadOnPty() override {
    if (control) control->Stop();
    if (env) env->ui.Detach();
    SetComRemapDirectory(QUILLON_BIN_DIR);
  }

  bool LogShows(const std::string& text, int timeoutMs) {
    const uint64_t end = Clock() + static_cast<uint64_t>(timeoutMs);
    for (;;) {
      {
        std::lock_guard lock(app.GlobalApp.ListLock);
        const auto& lines = status[1].LogLines;
        if (std::find(lines.begin(), lines.end(), text) != lines.end()) return true;
      }
      if (Clock() >= end) return false;
      Delay(10);
    }
  }

  std::string Log() {
    std::lock_guard lock(app.GlobalApp.ListLock);
    std::string all;
    for (const auto& line : status[1].LogLines) all += line + "\n";
    return all;
  }

  static bool WaitUntil(const std::function<bool()>& done) {
    const uint64_t end = Clock() + kWaitMs;
    while (!done()) {
      if (Clock() >= end) return false;
      Delay(10);
    }
    return true;
  }

  // Whether somebody else could open the line now.
  bool LineIsFree() {
    TOrvComm other;
    const bool opened = other.Open("COM1:", 9600, 8, 0, 1) > 0;
    if (opened) other.Close();
    return opened;
  }

  TempDir dir;
  PtyPair pty;
  RecordingSink ui;
  std::shared_ptr<ReceptionEnv> env = std::make_shared<ReceptionEnv>(ui);
  AppContext& app = env->app;
  PortStatusArray& status = env->status;
  std::vector<std::string> logged;  // what the control wrote into the logbook
  std::unique_ptr<ReceptionControl> control = std::make_unique<ReceptionControl>(
      env, [this](int, const std::string& text) { logged.push_back(text); });
};

using ReceptionPause = ReceiveThreadOnPty;
using ThreadLifecycle = ReceiveThreadOnPty;

TEST_F(ReceptionPause, ThreadInALongReadLetsGoWithinOneTimeOutAndTakesTheLineBack) {
  // The send side waits up to 10 s for the line: a thread that lets go within one read time-out
  // of 6 s gives it in time, one that needs two does not.
  app.PortSettings[1].AckNakRxTimeout = 6000;
  control->Start();
  ASSERT_TRUE(LogShows("Schnittstelle wird geöffnet", kWaitMs));
  EXPECT_FALSE(LineIsFree());

  ASSERT_TRUE(control->RequestPause(1));
  EXPECT_TRUE(LogShows("Schnittstelle wird für den Datenempfang geschlossen", 0));
  EXPECT_TRUE(LineIsFree()) << "the thread closed the line before it said paused";
  EXPECT_EQ(status[1].LedState.load(), kLedClosed);

  app.PortSettings[1].AckNakRxTimeout = 1000;  // a shorter wait for the next pause
  control->ReleasePause(1);
  ASSERT_TRUE(LogShows("Schnittstelle wird für den Datenempfang wieder geöffnet", kWaitMs))
      << Log();
  const uint64_t end = Clock() + kWaitMs;
  while (status[1].LedState.load() != kLedReady && Clock() < end) Delay(10);
  EXPECT_EQ(status[1].LedState.load(), kLedReady) << Log();
  EXPECT_FALSE(LineIsFree()) << "the thread holds the line again";

  // A stop during a pause ends the thread rather than giving it up after the stop time-out.
  ASSERT_TRUE(control->RequestPause(1));
  control->StopPort(1);
  EXPECT_TRUE(status[1].Finished.load());
}

TEST_F(ReceptionPause, APortWithoutThreadIsFreeAtOnce) {
  const uint64_t asked = Clock();
  EXPECT_TRUE(control->RequestPause(1));
  EXPECT_LT(Clock() - asked, 5000u) << "well before the 10 s a thread would be given";
  control->ReleasePause(1);
}

TEST_F(ThreadLifecycle, AGivenUpThreadBlocksANewOneForItsPortAndOutlivesItsOwners) {
  control->Start();
  ASSERT_TRUE(LogShows("Schnittstelle wird geöffnet", kWaitMs));

  // The thread's last report waits for the list lock, so it cannot end within the stop time.
  std::mutex& listLock = env->app.GlobalApp.ListLock;
  std::unique_lock hold(listLock);
  control->stopTimeoutMs = 100;
  control->StopPort(1);
  EXPECT_EQ(logged, std::vector<std::string>{"Fehler beim Beenden des Empfangsthreads"});
  EXPECT_FALSE(control->StartPort(1)) << "the given-up thread still serves the port";

  // Everybody who owned the environment goes away; the given-up thread keeps it alive.
  std::weak_ptr<ReceptionEnv> watch = env;
  env->ui.Detach();
  control.reset();
  env.reset();
  ASSERT_FALSE(watch.expired());
  hold.unlock();
  EXPECT_TRUE(WaitUntil([&] { return watch.expired(); })) << "the thread ended and let go";
}

TEST_F(ThreadLifecycle, AGivenUpThreadThatEndedMakesRoomForANewOne) {
  control->Start();
  ASSERT_TRUE(LogShows("Schnittstelle wird geöffnet", kWaitMs));
  {
    std::lock_guard hold(env->app.GlobalApp.ListLock);
    control->stopTimeoutMs = 100;
    control->StopPort(1);
  }
  ASSERT_TRUE(WaitUntil([&] { return env->status[1].Finished.load(); }));
  EXPECT_TRUE(WaitUntil([&] {
    control->ReapFinished();
    return control->StartPort(1);
  }));
  EXPECT_TRUE(LogShows("Schnittstelle wird geöffnet", kWaitMs));
}

TEST_F(ThreadLifecycle, TheProgramsEndWakesAThreadWaitingWithoutLimit) {
  // A pseudo-terminal that is gone never comes back: the thread waits without limit until it is
  // woken; only the end of the program does so here.
  control->Start();
  ASSERT_TRUE(LogShows("Schnittstelle wird geöffnet", kWaitMs));
  pty.CloseMaster();
  ASSERT_TRUE(WaitUntil([&] { return env->status[1].LedState.load() == kLedError; }));
  env->shutdown.Begin();
  EXPECT_TRUE(WaitUntil([&] { return env->status[1].Finished.load(); }));
}

// A running radio network lets go of its line for the lender and starts again afterwards; what
// its satellites hold is stored once, whether it came before or after the pause.
TEST_F(ReceptionPause, ARunningRadioNetworkClosesForTheLenderAndStartsAgain) {
  test::ChildProcess sim;
  ASSERT_TRUE(sim.Start(
      {std::string(QUILLON_BIN_DIR) + "/quillon-sim", "satellites", "--pty", "--sat", "1,terms=1-2",
       "--sat", "2,terms=3-4", "--records", "3", "--term-id", "--counter", "--stay"},
      dir.path()));
  ASSERT_TRUE(sim.WaitForOutput("\n", kWaitMs));
  const std::string line = sim.out().substr(5, sim.out().find('\n') - 5);
  const int holder = open(line.c_str(), O_RDWR | O_NOCTTY);  // a real line stays when closed
  ASSERT_GE(holder, 0);
  WriteBytes(dir.File("ComRemap.ini"), "[Remap]\r\nCOM1=" + line + "\r\n");
  WriteBytes(dir.File("Tembra_COM1.ini"),
             "[Satelliten]\r\n1=A,1,2\r\n2=B,3,4\r\n[Gruppen]\r\nA=1\r\nB=2\r\n");
  TQuillonOpt& opt = app.PortSettings[1];
  opt.Protocol = 1;
  opt.FileMode = 1;
  auto stored = [&] {
    const std::string all = test::ReadBytes(opt.FileName);
    return static_cast<size_t>(std::count(all.begin(), all.end(), '\n'));
  };
  control->Start();
  ASSERT_TRUE(WaitUntil([&] { return stored() >= 1; })) << Log();
  ASSERT_TRUE(control->RequestPause(1));
  EXPECT_TRUE(LineIsFree()) << "the network closed the line";
  control->ReleasePause(1);
  ASSERT_TRUE(LogShows("Schnittstelle wird für den Datenempfang wieder geöffnet", kWaitMs));
  ASSERT_TRUE(WaitUntil([&] { return stored() >= 12; })) << Log();
  control->StopPort(1);
  close(holder);
  std::vector<std::string> records;
  std::istringstream in(test::ReadBytes(opt.FileName));
  for (std::string record; std::getline(in, record);) records.push_back(record);
  std::sort(records.begin(), records.end());
  EXPECT_EQ(records.size(), 12u);
  EXPECT_EQ(test::ReadBytes(opt.FileName).find(";;"), std::string::npos) << "data, no marks";
  EXPECT_EQ(std::adjacent_find(records.begin(), records.end()), records.end())
      << "each once: " << test::ReadBytes(opt.FileName) << Log() << sim.out();
}

}  // namespace
}  // namespace quillon
