// Benchmark of Z-Modem over a pseudo-terminal: random bytes received by our receiver from
// lrzsz's sz against lrzsz's rz receiving from sz in the same run, and sent by our sender into
// rz against sz sending into rz. lrzsz's side that stands in for ours runs on the master end
// of the same kind of pair, so both sides of each comparison cross the same pty.
//
// Usage: bench_zmodem_transfer [rounds] [MiB]
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "common/clock.h"
#include "lrzsz_peer.h"
#include "protocols/zmodem.h"
#include "support/child_process.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

using namespace quillon;
using namespace quillon::bench;

namespace {

// Our side may take at most this long relative to lrzsz's in both directions.
constexpr double kGoal = 1.0;
constexpr int kWaitMs = 60000;
constexpr int kStallMs = 2000;  // a transfer this long waited on a time-out

// One transfer each; the time in milliseconds, or -1 when it failed.
long OursReceiving(const test::TempDir& from, const std::string& data) {
  test::TempDir to;
  test::PtyPair line;
  test::ChildProcess sz;
  const uint64_t start = Clock();
  if (!StartOn(sz, "sz -q data", line.path(), line.path(), from.path())) return -1;
  xyz::FdLine ours(line.master());
  std::string name;
  const int result = xyz::ZmodemReceive(ours, to.File("data"), name, kGoOn);
  const bool ended = sz.Wait(kWaitMs) == 0;
  const long ms = static_cast<long>(Clock() - start);
  return result == xyz::kDone && ended && Same(to.File("data"), data) ? ms : -1;
}

long LrzszReceiving(const test::TempDir& from, const std::string& data) {
  test::TempDir to;
  test::PtyPair line;
  test::ChildProcess sz;
  test::ChildProcess rz;
  const uint64_t start = Clock();
  if (!StartOn(sz, "sz -q data", line.path(), line.path(), from.path()) ||
      !StartOn(rz, "rz -q", OnMaster(line), OnMaster(line), to.path())) {
    return -1;
  }
  const bool ended = rz.Wait(kWaitMs) == 0 && sz.Wait(kWaitMs) == 0;
  const long ms = static_cast<long>(Clock() - start);
  return ended && Same(to.File("data"), data) ? ms : -1;
}

long OursSending(const test::TempDir& from, const std::string& data) {
  test::TempDir to;
  test::PtyPair line;
  test::ChildProcess rz;
  const uint64_t start = Clock();
  if (!StartOn(rz, "rz -q", line.path(), line.path(), to.path())) return -1;
  xyz::FdLine ours(line.master());
  const int result = xyz::ZmodemSend(ours, from.File("data"), kGoOn);
  const bool ended = rz.Wait(kWaitMs) == 0;
  const long ms = static_cast<long>(Clock() - start);
  return result == xyz::kDone && ended && Same(to.File("data"), data) ? ms : -1;
}

long LrzszSending(const test::TempDir& from, const std::string& data) {
  test::TempDir to;
  test::PtyPair line;
  test::ChildProcess sz;
  test::ChildProcess rz;
  const uint64_t start = Clock();
  if (!StartOn(rz, "rz -q", line.path(), line.path(), to.path()) ||
      !StartOn(sz, "sz -q data", OnMaster(line), OnMaster(line), from.path())) {
    return -1;
  }
  const bool ended = sz.Wait(kWaitMs) == 0 && rz.Wait(kWaitMs) == 0;
  const long ms = static_cast<long>(Clock() - start);
  return ended && Same(to.File("data"), data) ? ms : -1;
}

std::vector<double> Unstalled(const std::vector<double>& ms) {
  std::vector<double> kept;
  for (const double v : ms) {
    if (v < kStallMs) kept.push_back(v);
  }
  return kept.empty() ? ms : kept;
}

struct Direction {
  const char* name;
  long (*ours)(const test::TempDir&, const std::string&);
  long (*lrzsz)(const test::TempDir&, const std::string&);
  std::vector<double> oursMs, lrzszMs;
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  const int mib = argc > 2 ? std::max(1, std::atoi(argv[2])) : 4;
  test::TempDir from;
  const std::string data = RandomDataFile(from, mib);

  Direction directions[] = {{"receiving from sz", OursReceiving, LrzszReceiving, {}, {}},
                            {"sending into rz", OursSending, LrzszSending, {}, {}}};
  for (int round = 0; round < rounds; ++round) {
    for (Direction& d : directions) {
      // The order alternates so that neither side always meets a warmer cache.
      const bool oursFirst = round % 2 == 0;
      const long first = oursFirst ? d.ours(from, data) : d.lrzsz(from, data);
      const long second = oursFirst ? d.lrzsz(from, data) : d.ours(from, data);
      const long ours = oursFirst ? first : second;
      const long lrzsz = oursFirst ? second : first;
      if (ours < 0 || lrzsz < 0) {
        std::fprintf(stderr, "%s: round %d failed (ours %ld ms, lrzsz %ld ms)\n", d.name, round,
                     ours, lrzsz);
        return 1;
      }
      d.oursMs.push_back(static_cast<double>(ours));
      d.lrzszMs.push_back(static_cast<double>(lrzsz));
      std::printf("round %d %-18s ours %5ld ms  lrzsz %5ld ms\n", round, d.name, ours, lrzsz);
    }
  }
  // Medians of the times, not of per-round ratios, and lrzsz's without its stalls (its sz
  // on the master end now and then waits out a 30 s time-out at the end): the comparison is
  // with lrzsz at its best. Stalls are counted on their own; ours must have none.
  bool met = true;
  for (const Direction& d : directions) {
    const double ratio = Median(d.oursMs) / std::max(1.0, Median(Unstalled(d.lrzszMs)));
    const auto stalls = [](const std::vector<double>& ms) {
      return std::count_if(ms.begin(), ms.end(), [](double v) { return v >= kStallMs; });
    };
    met = met && ratio <= kGoal && stalls(d.oursMs) == 0;
    std::printf(
        "Z-Modem %d MiB %-18s median ours %.0f ms, lrzsz %.0f ms, ratio %.2f (goal <= %.2f);"
        " stalls over %d ms: ours %ld, lrzsz %ld\n",
        mib, d.name, Median(d.oursMs), Median(Unstalled(d.lrzszMs)), ratio, kGoal, kStallMs,
        static_cast<long>(stalls(d.oursMs)), static_cast<long>(stalls(d.lrzszMs)));
  }
  return met ? 0 : 2;
}
