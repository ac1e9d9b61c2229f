// The send side borrowing a port from its receive thread: the thread lets go of the line within
// one read time-out, and takes it back when the borrower is done.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/clock.h"
#include "config/settings_types.h"
#include "receive/my_threads.h"
#include "receive/reception_control.h"
#include "serial/com_remap.h"
#include "serial/orv_comm.h"
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

class ReceptionPause : public ::testing::Test {
 protected:
  ReceptionPause() {
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
  ~ReceptionPause() override {
    control.Stop();
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
  ReceptionControl control{env, [](int, const std::string&) {}};
};

TEST_F(ReceptionPause, ThreadInALongReadLetsGoWithinOneTimeOutAndTakesTheLineBack) {
  // The send side waits up to 10 s for the line: a thread that lets go within one read time-out
  // of 6 s gives it in time, one that needs two does not.
  app.PortSettings[1].AckNakRxTimeout = 6000;
  control.Start();
  ASSERT_TRUE(LogShows("Schnittstelle wird geöffnet", kWaitMs));
  EXPECT_FALSE(LineIsFree());

  ASSERT_TRUE(control.RequestPause(1));
  EXPECT_TRUE(LogShows("Schnittstelle wird für den Datenempfang geschlossen", 0));
  EXPECT_TRUE(LineIsFree()) << "the thread closed the line before it said paused";
  EXPECT_EQ(status[1].LedState.load(), kLedClosed);

  app.PortSettings[1].AckNakRxTimeout = 1000;  // a shorter wait for the next pause
  control.ReleasePause(1);
  ASSERT_TRUE(LogShows("Schnittstelle wird für den Datenempfang wieder geöffnet", kWaitMs))
      << Log();
  const uint64_t end = Clock() + kWaitMs;
  while (status[1].LedState.load() != kLedReady && Clock() < end) Delay(10);
  EXPECT_EQ(status[1].LedState.load(), kLedReady) << Log();
  EXPECT_FALSE(LineIsFree()) << "the thread holds the line again";

  // A stop during a pause ends the thread rather than giving it up after the stop time-out.
  ASSERT_TRUE(control.RequestPause(1));
  control.StopPort(1);
  EXPECT_TRUE(status[1].Finished.load());
}

TEST_F(ReceptionPause, APortWithoutThreadIsFreeAtOnce) {
  const uint64_t asked = Clock();
  EXPECT_TRUE(control.RequestPause(1));
  EXPECT_LT(Clock() - asked, 5000u) << "well before the 10 s a thread would be given";
  control.ReleasePause(1);
}

}  // namespace
}  // namespace quillon
