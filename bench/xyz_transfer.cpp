// Benchmark of X-Modem-1K and Y-Modem over a pseudo-terminal: random bytes received by our
// receiver from lrzsz's sender against lrzsz's receiver taking them from the same sender, and
// sent by our sender into lrzsz's receiver against lrzsz's sender doing the same, in the same
// run. lrzsz's side that stands in for ours runs on the master end of the same kind of pair.
//
// Usage: bench_xyz_transfer [rounds] [MiB] [the start of the directions' names, e.g. "X"]
//                           [rounds of our side alone]
// The rounds of our side alone (20 unless told) only look for transfers that waited on a
// time-out: lrzsz against itself often takes minutes.
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/clock.h"
#include "lrzsz_peer.h"
#include "protocols/xyz_transfers.h"
#include "support/child_process.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

using namespace quillon;
using namespace quillon::bench;

namespace {

constexpr double kGoal = 1.0;
constexpr int kWaitMs = 120000;
// A transfer this much slower than the fastest of its kind waited on a time-out.
constexpr long kStallMs = 2000;

struct Protocol {
  const char* name;
  const char* sender;    // lrzsz's sender, the file name follows
  const char* receiver;  // lrzsz's receiver, writes "data" into its directory
  bool batch;            // Y-Modem: names travel
};

// One transfer each; the time in milliseconds, or -1 when it failed.

// lrzsz against itself: a transfer still running at the cut-off counts with the cut-off, the
// least it would have taken; one that ended wrong does not count.
long LrzszResult(int exitCode, long ms, bool same) {
  if (exitCode == -1) return ms;
  return exitCode == 0 && same ? ms : -1;
}

long OursReceiving(const Protocol& p, const test::TempDir& from, const std::string& data) {
  test::TempDir to;
  test::PtyPair line;
  test::ChildProcess peer;
  const uint64_t start = Clock();
  if (!StartOn(peer, std::string(p.sender) + " data", line.path(), line.path(), from.path()))
    return -1;
  xyz::FdLine ours(line.master());
  std::string name;
  const int result = p.batch ? xyz::YmodemReceive(ours, to.File("data"), name, kGoOn)
                             : xyz::XmodemReceive(ours, to.File("data"), kGoOn);
  const bool ended = peer.Wait(kWaitMs) == 0;
  const long ms = static_cast<long>(Clock() - start);
  return result == xyz::kDone && ended && Same(to.File("data"), data) ? ms : -1;
}

long LrzszReceiving(const Protocol& p, const test::TempDir& from, const std::string& data) {
  test::TempDir to;
  test::PtyPair line;
  test::ChildProcess sender;
  test::ChildProcess receiver;
  const uint64_t start = Clock();
  if (!StartOn(sender, std::string(p.sender) + " data", line.path(), line.path(), from.path()) ||
      !StartOn(receiver, p.receiver, OnMaster(line), OnMaster(line), to.path())) {
    return -1;
  }
  // The sender may wait long for an acknowledgement its receiver dropped while exiting.
  const int exit = receiver.Wait(kWaitMs);
  const long ms = static_cast<long>(Clock() - start);
  sender.Signal(SIGTERM);
  (void)sender.Wait(kWaitMs);
  return LrzszResult(exit, ms, Same(to.File("data"), data));
}

// lrzsz's receivers drop their pending output as they exit, so their last acknowledgement
// may never arrive: the sender's waits end when the receiver has ended.
long OursSending(const Protocol& p, const test::TempDir& from, const std::string& data) {
  test::TempDir to;
  test::PtyPair line;
  test::ChildProcess peer;
  const uint64_t start = Clock();
  if (!StartOn(peer, p.receiver, line.path(), line.path(), to.path())) return -1;
  const int waker = eventfd(0, EFD_CLOEXEC);
  int exitCode = -1;
  std::thread watch([&] {
    exitCode = peer.Wait(kWaitMs);
    const uint64_t one = 1;
    (void)!write(waker, &one, sizeof one);
  });
  xyz::FdLine ours(line.master(), waker);
  const int result = p.batch ? xyz::YmodemSend(ours, from.File("data"), kGoOn)
                             : xyz::XmodemSend(ours, from.File("data"), kGoOn);
  watch.join();
  close(waker);
  const long ms = static_cast<long>(Clock() - start);
  const bool sent = result == xyz::kDone || result == xyz::kAborted;
  return sent && exitCode == 0 && Same(to.File("data"), data) ? ms : -1;
}

long LrzszSending(const Protocol& p, const test::TempDir& from, const std::string& data) {
  test::TempDir to;
  test::PtyPair line;
  test::ChildProcess sender;
  test::ChildProcess receiver;
  const uint64_t start = Clock();
  if (!StartOn(receiver, p.receiver, line.path(), line.path(), to.path()) ||
      !StartOn(sender, std::string(p.sender) + " data", OnMaster(line), OnMaster(line),
               from.path())) {
    return -1;
  }
  // The sender may wait long for an acknowledgement its receiver dropped while exiting.
  const int exit = receiver.Wait(kWaitMs);
  const long ms = static_cast<long>(Clock() - start);
  sender.Signal(SIGTERM);
  (void)sender.Wait(kWaitMs);
  return LrzszResult(exit, ms, Same(to.File("data"), data));
}

struct Direction {
  std::string name;
  const Protocol* protocol;
  long (*ours)(const Protocol&, const test::TempDir&, const std::string&);
  long (*lrzsz)(const Protocol&, const test::TempDir&, const std::string&);
  std::vector<double> oursMs, lrzszMs;
  std::vector<double> oursAloneMs;  // our side alone, for the stall count
};

long Stalls(const std::vector<double>& ms, double fastest) {
  return std::count_if(ms.begin(), ms.end(), [&](double v) { return v >= fastest + kStallMs; });
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  const int mib = argc > 2 ? std::max(1, std::atoi(argv[2])) : 4;
  test::TempDir from;
  const std::string data = RandomDataFile(from, mib);

  static const Protocol kX{"X-Modem-1K", "sx -kq", "rx -cq data", false};
  static const Protocol kY{"Y-Modem", "sb -q", "rb -q", true};
  Direction directions[] = {{"X receiving from sx", &kX, OursReceiving, LrzszReceiving, {}, {}, {}},
                            {"X sending into rx", &kX, OursSending, LrzszSending, {}, {}, {}},
                            {"Y receiving from sb", &kY, OursReceiving, LrzszReceiving, {}, {}, {}},
                            {"Y sending into rb", &kY, OursSending, LrzszSending, {}, {}, {}}};
  const std::string only = argc > 3 ? argv[3] : "";
  for (int round = 0; round < rounds; ++round) {
    for (Direction& d : directions) {
      if (d.name.compare(0, only.size(), only) != 0) continue;
      // The order alternates so that neither side always meets a warmer cache.
      const bool oursFirst = round % 2 == 0;
      const Protocol& p = *d.protocol;
      const long first = oursFirst ? d.ours(p, from, data) : d.lrzsz(p, from, data);
      const long second = oursFirst ? d.lrzsz(p, from, data) : d.ours(p, from, data);
      const long ours = oursFirst ? first : second;
      const long lrzsz = oursFirst ? second : first;
      if (ours < 0) {
        std::fprintf(stderr, "%s: round %d failed on our side\n", d.name.c_str(), round);
        return 1;
      }
      // lrzsz against itself now and then fails outright; that round only counts for us.
      d.oursMs.push_back(static_cast<double>(ours));
      if (lrzsz >= 0) d.lrzszMs.push_back(static_cast<double>(lrzsz));
      std::printf("round %d %-20s ours %6ld ms  lrzsz %6ld ms\n", round, d.name.c_str(), ours,
                  lrzsz);
    }
  }
  const int aloneRounds = argc > 4 ? std::max(0, std::atoi(argv[4])) : 20;
  for (Direction& d : directions) {
    if (d.name.compare(0, only.size(), only) != 0) continue;
    for (int round = 0; round < aloneRounds; ++round) {
      const long ours = d.ours(*d.protocol, from, data);
      if (ours < 0) {
        std::fprintf(stderr, "%s: round %d alone failed\n", d.name.c_str(), round);
        return 1;
      }
      d.oursAloneMs.push_back(static_cast<double>(ours));
      std::printf("alone %d %-20s ours %6ld ms\n", round, d.name.c_str(), ours);
    }
  }
  bool met = true;
  for (const Direction& d : directions) {
    if (d.oursMs.empty()) continue;
    const double ratio = Median(d.oursMs) / std::max(1.0, Median(d.lrzszMs));
    double fastest = *std::min_element(d.oursMs.begin(), d.oursMs.end());
    for (const double v : d.lrzszMs) fastest = std::min(fastest, v);
    for (const double v : d.oursAloneMs) fastest = std::min(fastest, v);
    const long oursStalls = Stalls(d.oursMs, fastest) + Stalls(d.oursAloneMs, fastest);
    met = met && ratio <= kGoal && oursStalls == 0;
    std::printf(
        "%d MiB %-20s median ours %.0f ms, lrzsz %.0f ms, ratio %.2f (goal <= %.2f);"
        " stalls over %ld ms: ours %ld of %zu, lrzsz %ld of %zu\n",
        mib, d.name.c_str(), Median(d.oursMs), Median(d.lrzszMs), ratio, kGoal, kStallMs,
        oursStalls, d.oursMs.size() + d.oursAloneMs.size(), Stalls(d.lrzszMs, fastest),
        d.lrzszMs.size());
  }
  return met ? 0 : 2;
}
