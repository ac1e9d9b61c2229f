// The program with its window, as a user starts it: one instance, a second start bringing the
// first to the front, SIGTERM closing the window through the normal exit sequence.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>

#include "common/single_instance.h"
#include "window_fixture.h"

namespace quillon {
namespace {

using test::ChildProcess;
using test::ReadBytes;
using test::WaitUntil;
using test::WindowFixture;

TEST(WindowProgram, SecondStartBringsTheWindowToTheFront) {
  WindowFixture f;
  f.IdleLine(1);
  f.Active(1);
  ASSERT_TRUE(f.Start());
  const std::string name = "quillon-ui-test-" + std::to_string(getpid());
  SingleInstance first(name);
  ASSERT_TRUE(first.Acquire());
  WatchRaiseRequests(first, f.window());
  f.window().showMinimized();
  ASSERT_TRUE(WaitUntil([&] { return f.window().isMinimized(); }));

  SingleInstance second(name);
  EXPECT_FALSE(second.Acquire());
  EXPECT_TRUE(second.AskRunningInstanceToRaise());
  EXPECT_TRUE(WaitUntil([&] { return !f.window().isMinimized() && f.window().isVisible(); }));
}

// A copy of the program in the fixture's directory, started with the offscreen platform.
struct Program {
  explicit Program(WindowFixture& f) : fixture(f) {
    std::filesystem::copy_file(std::string(QUILLON_BIN_DIR) + "/quillon", f.exePath());
  }
  bool Start(ChildProcess& child, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {fixture.exePath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return child.Start(argv, fixture.dir.path(), env);
  }
  // The running instance has its socket once it holds the lock.
  bool WaitForInstance() {
    const std::string socket = fixture.dir.File("quillon.sock");
    return WaitUntil([&] { return std::filesystem::exists(socket); });
  }

  WindowFixture& fixture;
  std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + fixture.dir.path(),
                                  "HOME=" + fixture.dir.path(), "QT_QPA_PLATFORM=offscreen"};
};

TEST(WindowProgram, OneInstanceAutostartAndSigterm) {
  WindowFixture f;
  test::WriteBytes(f.dir.File("daten.txt"), "eins\r\n");
  ASSERT_TRUE(f.Terminal(1, {"--send", "daten.txt", "--stay"}));
  f.Active(1);
  f.Install();
  Program program(f);
  ChildProcess first;
  ASSERT_TRUE(program.Start(first, {"/autostart"}));
  ASSERT_TRUE(program.WaitForInstance()) << first.err();

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, std::vector<std::string>{"/headless"}}) {
    ChildProcess second;
    ASSERT_TRUE(program.Start(second, args));
    EXPECT_EQ(second.Wait(test::kUiWaitMs), 255) << "second start " << args.size();
  }

  // Reception started by itself: the terminal's transfer is taken. The logbook shows it once
  // the program has ended.
  ASSERT_TRUE(f.sims[1]->WaitForOutput("SENT 1", test::kUiWaitMs)) << f.sims[1]->err();
  first.Signal(SIGTERM);
  EXPECT_EQ(first.Wait(test::kUiWaitMs), 0) << first.err();
  const std::string log = ReadBytes(f.dir.File("quillon_com1.log"));
  const size_t started = log.find("------- Quillon wird gestartet -------");
  const size_t opened = log.find("(com1:) Schnittstelle wird geöffnet");
  const size_t ended = log.find("------- Quillon wird beendet -------");
  ASSERT_NE(started, std::string::npos) << log;
  EXPECT_NE(opened, std::string::npos) << "/autostart started reception\n" << log;
  ASSERT_NE(ended, std::string::npos) << log;
  EXPECT_LT(started, opened);
  EXPECT_LT(opened, ended);
}

// Boxes stand open during the start (settings added to a new file) and after it (no active
// port): SIGTERM dismisses the open one, the rest go to stderr, and the program ends normally.
TEST(WindowProgram, SigtermWhileABoxIsOpenEndsTheProgram) {
  for (const bool newSettings : {true, false}) {
    WindowFixture f;
    f.IdleLine(2);
    f.Install(!newSettings);
    Program program(f);
    ChildProcess child;
    ASSERT_TRUE(program.Start(child, {}));
    ASSERT_TRUE(program.WaitForInstance());
    if (newSettings) {
      // The repaired settings are written just before the box about them opens.
      ASSERT_TRUE(WaitUntil([&] {
        return ReadBytes(f.dir.File("quillon.ini")).find("Dateiname=") != std::string::npos;
      })) << child.err();
    } else {
      // Nothing outside the program shows the box about no active port; the signal is blocked
      // from before the instance exists, so wherever it lands the program must end normally.
      QTest::qWait(1000);
    }
    child.Signal(SIGTERM);
    EXPECT_EQ(child.Wait(test::kUiWaitMs), 0) << "new settings: " << newSettings << child.err();
    if (newSettings) {
      EXPECT_NE(child.err().find("Information: Es wurden automatisch einige Programmeinstellungen"),
                std::string::npos)
          << "the boxes after the signal: " << child.err();
    }
  }
}

}  // namespace
}  // namespace quillon
