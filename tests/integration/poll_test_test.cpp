// The poll test of the setup dialog, on pseudo-terminal lines: against the simulated terminal,
// and against a far end the test plays byte by byte with chosen answer delays.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/clock.h"
#include "polling/poll_address.h"
#include "polling/poll_test_thread.h"
#include "serial/com_remap.h"
#include "support/child_process.h"
#include "support/pty_pair.h"
#include "support/station.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::ChildProcess;
using test::kBin;
using test::kWaitMs;
using test::PtyPair;
using test::TempDir;

constexpr char kAck = '\x06';
constexpr char kNak = '\x15';
constexpr char kEnq = '\x05';

// What a test saw through the callbacks, with waits bounded in time.
class Reports {
 public:
  struct Shown {
    std::string address;
    std::string times;
  };

  PollTestCallbacks Callbacks() {
    PollTestCallbacks c;
    c.shown = [this](const std::string& a, const std::string& t) {
      Add([&] { shown_.push_back({a, t}); });
    };
    c.openFailed = [this](const std::string& m) { Add([&] { errors_.push_back(m); }); };
    c.ended = [this] { Add([&] { ended_ = true; }); };
    return c;
  }
  // Waits until `count` polls were reported.
  bool WaitShown(size_t count, int ms = kWaitMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms),
                             [&] { return shown_.size() >= count; });
  }
  bool WaitEnded(int ms = kWaitMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return ended_; });
  }
  std::vector<Shown> shown() {
    std::lock_guard lock(mutex_);
    return shown_;
  }
  std::vector<std::string> errors() {
    std::lock_guard lock(mutex_);
    return errors_;
  }

 private:
  template <typename F>
  void Add(F change) {
    {
      std::lock_guard lock(mutex_);
      change();
    }
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Shown> shown_;
  std::vector<std::string> errors_;
  bool ended_ = false;
};

// COM1 redirected to `device` through ComRemap.ini in a temporary directory.
class PollTestLineFixture : public ::testing::Test {
 protected:
  void Remap(const std::string& port, const std::string& device) {
    test::WriteBytes(dir_.File("ComRemap.ini"), "[Remap]\r\n" + port + "=" + device + "\r\n");
    SetComRemapDirectory(dir_.path());
  }
  void TearDown() override { SetComRemapDirectory(QUILLON_BIN_DIR); }

  std::shared_ptr<PollTestInput> Input(std::vector<std::string> addresses, int cycle) {
    auto input = std::make_shared<PollTestInput>();
    input->SetAddresses(std::move(addresses));
    input->SetInterval(cycle);
    return input;
  }

  TempDir dir_;
  Reports reports_;
  const PollTestLine com1_{"COM1:", 9600, 8, 0, 1};
};

TEST_F(PollTestLineFixture, SimulatedTerminalAnswersItsAddressAndOthersAreSkipped) {
  ChildProcess sim;
  ASSERT_TRUE(sim.Start({kBin + "/quillon-sim", "--pty", "--answer-polls", "00042", "--stay"},
                        dir_.path()));
  ASSERT_TRUE(sim.WaitForOutput("\n", kWaitMs));
  ASSERT_EQ(sim.out().rfind("LINE ", 0), 0u) << sim.out();
  Remap("COM1", sim.out().substr(5, sim.out().find('\n') - 5));

  // The poll cycle is the time the terminal has to answer: long for the answered first poll,
  // short from its report on for the unanswered ones.
  auto input = Input({"00042", "00043"}, 5000);
  PollTestCallbacks callbacks = reports_.Callbacks();
  callbacks.shown = [input, shown = callbacks.shown](const std::string& a, const std::string& t) {
    input->SetInterval(300);
    shown(a, t);
  };
  auto test = TPolltestThread::Start(com1_, input, callbacks);
  ASSERT_TRUE(test);
  ASSERT_TRUE(reports_.WaitShown(3));
  test->Stop();
  const auto shown = reports_.shown();
  EXPECT_TRUE(test->Opened());
  EXPECT_EQ(shown[0].address, "00042");
  EXPECT_EQ(shown[1].address, "00043") << "the next address in turn after an answered poll";
  EXPECT_EQ(shown[2].address, "00042") << "back to the first after the last";
  const PollTimes times = test->Times();
  EXPECT_GE(times.current, 0);
  EXPECT_EQ(shown[0].times, "Min:" + std::to_string(times.current) +
                                "  Akt:" + std::to_string(times.current) +
                                "  Max:" + std::to_string(times.current));
  EXPECT_EQ(shown[1].times, shown[0].times) << "an unanswered poll changes no time";
  EXPECT_TRUE(sim.WaitForOutput("POLLED 00042", kWaitMs)) << sim.out() << sim.err();
  EXPECT_TRUE(reports_.WaitEnded());
}

// The far end: answers the polls of the listed addresses after the given delays, in order.
struct ScriptedTerminal {
  struct Answer {
    std::string address;
    char reply;  // 0: stay silent
    int delayMs;
  };
  explicit ScriptedTerminal(PtyPair& pty, std::vector<Answer> answers)
      : thread([&pty, answers] {
          for (const Answer& a : answers) {
            const std::string frame = "\r" + a.address + "?\r";
            if (pty.Read(frame.size(), kWaitMs) != frame) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(a.delayMs));
            if (a.reply != 0) pty.Write(std::string(1, a.reply));
          }
        }) {}
  ~ScriptedTerminal() { thread.join(); }
  std::thread thread;
};

TEST_F(PollTestLineFixture, TimesAfterAnswersOfDifferentSpeedAndRefusals) {
  PtyPair pty;
  Remap("COM1", pty.path());
  {
    ScriptedTerminal terminal(pty, {{"11111", kAck, 120},
                                    {"22222", kNak, 0},
                                    {"33333", kAck, 80},
                                    {"11111", kEnq, 0},
                                    {"22222", kAck, 150},
                                    {"33333", 0, 0}});
    // The longest poll cycle, so that the answers count on a busy machine too; the silent
    // last poll needs only a short one.
    auto input = Input({"11111", "22222", "33333"}, 5000);
    PollTestCallbacks callbacks = reports_.Callbacks();
    callbacks.shown = [this, input, shown = callbacks.shown](const std::string& a,
                                                             const std::string& t) {
      shown(a, t);
      if (reports_.shown().size() == 5) input->SetInterval(300);
    };
    auto test = TPolltestThread::Start(com1_, input, callbacks);
    ASSERT_TRUE(test);
    ASSERT_TRUE(reports_.WaitShown(6));
    test->Stop();
  }
  // A selection frame after an answer would have been read in place of the next poll, and
  // the terminal would have stopped answering: in test mode there is none.
  const auto shown = reports_.shown();
  const std::vector<std::string> order = {"11111", "22222", "33333", "11111", "22222", "33333"};
  for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(shown[i].address, order[i]) << i;

  PollTimes t;
  t.Record(120);
  EXPECT_EQ(t.Text(), "Min:120  Akt:120  Max:120");
  EXPECT_EQ(PollTimes{}.Text(), "Min:-  Akt:-  Max:-");
  std::vector<PollTimes> seen;
  for (const auto& s : shown) {
    int mn = -1, cur = -1, mx = -1;
    ASSERT_EQ(std::sscanf(s.times.c_str(), "Min:%d  Akt:%d  Max:%d", &mn, &cur, &mx), 3) << s.times;
    seen.push_back(PollTimes{mn, cur, mx});
  }
  // Each time runs from the poll to its answer, so it is at least the terminal's delay; how much
  // longer depends on the machine. Minimum and maximum are those of the answered polls so far.
  const int first = seen[0].current, third = seen[2].current, fifth = seen[4].current;
  EXPECT_GE(first, 120) << shown[0].times;
  EXPECT_EQ(seen[0].minimum, first);
  EXPECT_EQ(seen[0].maximum, first);
  EXPECT_EQ(shown[1].times, shown[0].times) << "a NAK fails the poll";
  EXPECT_GE(third, 80) << shown[2].times;
  EXPECT_EQ(seen[2].minimum, std::min(first, third)) << shown[2].times;
  EXPECT_EQ(seen[2].maximum, std::max(first, third)) << shown[2].times;
  EXPECT_EQ(shown[3].times, shown[2].times) << "an ENQ fails the poll";
  EXPECT_GE(fifth, 150) << shown[4].times;
  EXPECT_EQ(seen[4].minimum, std::min({first, third, fifth})) << shown[4].times;
  EXPECT_EQ(seen[4].maximum, std::max({first, third, fifth})) << shown[4].times;
  EXPECT_EQ(shown[5].times, shown[4].times) << "silence within the poll cycle fails the poll";
}

TEST_F(PollTestLineFixture, EmptyListOnlySleepsAndStopEndsAWait) {
  PtyPair pty;
  Remap("COM1", pty.path());
  auto input = Input({}, 100);
  auto test = TPolltestThread::Start(com1_, input, reports_.Callbacks());
  ASSERT_TRUE(test);
  EXPECT_EQ(pty.ReadFor(400), "") << "nothing is polled without addresses";
  input->SetAddresses({"000001"});
  EXPECT_EQ(pty.Read(9, kWaitMs), "\r000001?\r") << "the list is read again before each poll";
  test->Stop();

  // An address nobody answers, with a poll cycle far beyond the test: stopping ends the wait.
  PtyPair quiet;
  Remap("COM1", quiet.path());
  Reports reports;
  auto waiting = TPolltestThread::Start(com1_, Input({"000001"}, 600000), reports.Callbacks());
  ASSERT_TRUE(waiting);
  EXPECT_EQ(quiet.Read(9, kWaitMs), "\r000001?\r");
  const uint64_t start = Clock();
  waiting->Stop();
  EXPECT_LT(Clock() - start, static_cast<uint64_t>(kWaitMs));
  EXPECT_TRUE(reports.WaitEnded(0));
  EXPECT_TRUE(reports.shown().empty()) << "an aborted poll is not reported";
}

TEST_F(PollTestLineFixture, OnlyOneTestAtATimeAndOpenFailureEndsTheTest) {
  PtyPair pty;
  Remap("COM1", pty.path());
  auto first = TPolltestThread::Start(com1_, Input({}, 100), reports_.Callbacks());
  ASSERT_TRUE(first);
  Reports other;
  EXPECT_FALSE(TPolltestThread::Start(com1_, Input({}, 100), other.Callbacks()));
  first->Stop();

  Remap("COM7", dir_.File("kein-geraet"));
  auto broken =
      TPolltestThread::Start({"COM7:", 9600, 8, 0, 1}, Input({"00001"}, 100), other.Callbacks());
  ASSERT_TRUE(broken) << "the first test has ended, so another may start";
  ASSERT_TRUE(other.WaitEnded());
  EXPECT_FALSE(broken->Opened());
  ASSERT_EQ(other.errors().size(), 1u);
  EXPECT_EQ(other.errors()[0], "Fehler beim Öffnen der seriellen Schnittstelle COM7: !");
  EXPECT_TRUE(other.shown().empty());
  // A test that ended by itself has freed its place.
  Reports third;
  EXPECT_TRUE(TPolltestThread::Start(com1_, Input({}, 100), third.Callbacks()));
}

TEST(PollAddress, ZeroPaddedToTheLengthOrStars) {
  EXPECT_EQ(FormatPollAddress(42, 5), "00042");
  EXPECT_EQ(FormatPollAddress(42, 6), "000042");
  EXPECT_EQ(FormatPollAddress(99999, 5), "99999");
  EXPECT_EQ(FormatPollAddress(123456, 5), "***");
  EXPECT_EQ(NextPollIndex(-1, 3), 0);
  EXPECT_EQ(NextPollIndex(1, 3), 2);
  EXPECT_EQ(NextPollIndex(2, 3), 0);
  EXPECT_EQ(NextPollIndex(7, 3), 0) << "beyond a list that became shorter";
}

}  // namespace
}  // namespace quillon
