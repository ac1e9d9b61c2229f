// The satellite search and the address change over a pseudo-terminal against the satellite
// simulator, whose satellites hear only at their own rate, may answer late, and may share an
// address (their answers then overlap on the line).
#include "radio/sat_search.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "radio/quorbus_line.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::ChildProcess;
using test::ReadBytes;
using test::TempDir;

constexpr int kWaitMs = 30000;
constexpr int kLineTimeoutMs = 250;
const std::string kBin = QUILLON_BIN_DIR;

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The simulator's "CONFIGURED" events, one a line.
std::string Configured(const std::string& out) {
  std::string lines;
  for (size_t at = out.find("CONFIGURED "); at != std::string::npos;
       at = out.find("CONFIGURED ", at + 1)) {
    lines += out.substr(at, out.find('\n', at) + 1 - at);
  }
  return lines;
}

// Short pauses between frames while a test runs; the process-wide value comes back after it.
struct ShortPause {
  int command = ProcessRadioPauses().satCmdDelay;
  ShortPause() { ProcessRadioPauses().satCmdDelay = 5; }
  ~ShortPause() { ProcessRadioPauses().satCmdDelay = command; }
};

// The simulator's satellites on a line the PC runs at 9600 baud, and the search thread on it
// with what it reported.
struct SearchBench {
  ShortPause pause;
  TempDir dir;
  ChildProcess sim;
  TOrvComm port;
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::pair<int, int>> tested;  // address, baud
  std::vector<int> found;
  bool ended = false;
  std::optional<bool> answered;
  int stopAt = -1;  // the search is stopped while this address is tried at 9600
  std::unique_ptr<TSearchSatThread> search;

  bool Start(const std::vector<std::string>& simArgs, int lastAddress) {
    std::vector<std::string> argv = {kBin + "/quillon-sim", "satellites", "--pty", "--log",
                                     dir.File("log")};
    argv.insert(argv.end(), simArgs.begin(), simArgs.end());
    if (!sim.Start(argv, dir.path()) || !sim.WaitForOutput("\n", kWaitMs)) return false;
    if (sim.out().rfind("LINE ", 0) != 0) return false;
    const std::string device = sim.out().substr(5, sim.out().find('\n') - 5);
    if (port.Open(device, 9600, 8, 0, 1) <= 0 || port.SetTimeout(kLineTimeoutMs) != 0) {
      return false;
    }
    SearchEvents events;
    events.testing = [this](int address, int baud) {
      Note([&] { tested.emplace_back(address, baud); });
      if (address == stopAt && baud == 9600) search->StopSearch();
    };
    events.found = [this](int address) { Note([&] { found.push_back(address); }); };
    events.searchEnded = [this] { Note([&] { ended = true; }); };
    events.changeEnded = [this](int, int, bool ok) { Note([&] { answered = ok; }); };
    search = std::make_unique<TSearchSatThread>(port, std::move(events), nullptr, lastAddress);
    return true;
  }

  template <typename F>
  void Note(F change) {
    {
      std::lock_guard lock(mutex);
      change();
    }
    changed.notify_all();
  }
  bool SearchEnds() {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] { return ended; });
  }
  bool ChangeEnds() {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(kWaitMs),
                            [&] { return answered.has_value(); });
  }
  std::string Log() { return ReadBytes(dir.File("log")); }
  // The simulator's events so far: it prints each before the answer that follows from it, so
  // after a job all of them are in the pipe already.
  std::string Events() {
    (void)sim.WaitForOutput("\x01", 100);
    return sim.out();
  }
  // After every job the port is the line's again.
  void ExpectPortAsBefore() {
    EXPECT_TRUE(search->WaitIdle(kWaitMs));
    EXPECT_EQ(port.GetBaud(), 9600);
    EXPECT_EQ(port.GetTimeout(), kLineTimeoutMs);
    EXPECT_FALSE(port.AbortRequested());
  }
};

// Satellite 1 hears at 9600 and is listed as it is; satellite 2 hears only at 19200 and is
// configured to the line's 9600, at which it answers afterwards; 3 answers within the search's
// read time-out and is found, 4 answers far beyond it (its answer reaches the PC while it
// listens at another rate) and is not.
TEST(SatSearch, FindsEachAtItsRateAndConfiguresOnlyThoseOffTheLineRate) {
  SearchBench b;
  ASSERT_TRUE(b.Start({"--sat", "1,rate=9600", "--sat", "2,rate=19200", "--sat",
                       "3,rate=9600,delay=80", "--sat", "4,rate=9600,delay=400"},
                      4))
      << b.sim.err();
  ASSERT_TRUE(b.search->StartSearch());
  ASSERT_TRUE(b.SearchEnds());
  b.ExpectPortAsBefore();
  EXPECT_EQ(b.found, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(Configured(b.Events()), "CONFIGURED 2 2 1-1 9600\n");
  // After an answer the next address starts at 9600 again; without one every rate is tried.
  const std::vector<std::pair<int, int>> tested = {{0, 9600},  {0, 19200}, {0, 38400}, {1, 9600},
                                                   {2, 9600},  {2, 19200}, {3, 9600},  {4, 9600},
                                                   {4, 19200}, {4, 38400}};
  EXPECT_EQ(b.tested, tested);
  QuorbusLine line(b.port);
  EXPECT_EQ(line.StatusCheck(2), 0) << "satellite 2 now answers at the line's rate\n" << b.Log();
}

// A stop while address 3 is tried finishes that address at every rate, keeps what was found,
// and ends the pass before the next one.
TEST(SatSearch, StopFinishesTheAddressUnderTestAndKeepsTheFound) {
  SearchBench b;
  b.stopAt = 3;
  ASSERT_TRUE(b.Start({"--sat", "1", "--sat", "2", "--sat", "5"}, kLastSearchAddress))
      << b.sim.err();
  ASSERT_TRUE(b.search->StartSearch());
  ASSERT_TRUE(b.SearchEnds());
  b.ExpectPortAsBefore();
  EXPECT_EQ(b.found, (std::vector<int>{1, 2}));
  ASSERT_FALSE(b.tested.empty());
  EXPECT_EQ(b.tested.back(), std::make_pair(3, 38400));
}

// Two satellites with one ID: answering at the same moment they send the same signal, which
// the PC reads as one answer; one a millisecond later garbles both, and nothing is found.
TEST(SatSearch, TwoSatellitesAtOneAddressGiveWhatTheLineCarries) {
  const struct {
    const char* legend;
    std::vector<std::string> sats;
    std::vector<int> found;
  } cases[] = {
      {"same moment", {"--sat", "1", "--sat", "1"}, {1}},
      {"overlapping", {"--sat", "1,rate=9600", "--sat", "1,rate=9600,delay=1"}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    SearchBench b;
    ASSERT_TRUE(b.Start(c.sats, 1)) << b.sim.err();
    ASSERT_TRUE(b.search->StartSearch());
    ASSERT_TRUE(b.SearchEnds());
    b.ExpectPortAsBefore();
    EXPECT_EQ(b.found, c.found) << b.Log();
    EXPECT_EQ(Configured(b.Events()), "");
  }
}

// The satellite is configured at its old address and asked at the new one until it answers,
// at most five times; a job ended by the destructor stops in the satellite's settle time,
// reports nothing and leaves the port as it was.
TEST(SatSearch, AddressChange) {
  const struct {
    const char* legend;
    int from;
    int to;
    bool destroyDuringSettle;
    std::optional<bool> answered;
    size_t questionsAtNew;
    const char* configured;  // the simulator's events
  } cases[] = {
      {"answers at the new address", 5, 7, false, true, 1, "CONFIGURED 5 7 1-1 9600\n"},
      {"nobody at the old address", 6, 7, false, false, 5, ""},
      {"ended while the satellite settles", 5, 7, true, std::nullopt, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    SearchBench b;
    ASSERT_TRUE(b.Start({"--sat", "5"}, kLastSearchAddress)) << b.sim.err();
    ASSERT_TRUE(b.search->StartAddressChange(c.from, c.to));
    if (c.destroyDuringSettle) {
      // The "6" before the configuration has been answered: the PC waits for the satellite.
      for (int i = 0; i < kWaitMs / 50 && Count(b.Log(), "TX 105 <ACK>") == 0; ++i) {
        (void)b.sim.WaitForOutput("\x01", 50);
      }
      ASSERT_EQ(Count(b.Log(), "TX 105 <ACK>"), 1u) << b.Log();
      b.search.reset();
      EXPECT_EQ(b.port.GetBaud(), 9600);
      EXPECT_EQ(b.port.GetTimeout(), kLineTimeoutMs);
      EXPECT_FALSE(b.port.AbortRequested());
    } else {
      ASSERT_TRUE(b.ChangeEnds());
      b.ExpectPortAsBefore();
    }
    EXPECT_EQ(b.answered, c.answered);
    const std::string log = b.Log();
    EXPECT_EQ(Count(log, "RX " + std::to_string(100 + c.to) + " 5"), c.questionsAtNew) << log;
    EXPECT_EQ(Configured(b.Events()), c.configured);
  }
}

}  // namespace
}  // namespace quillon
