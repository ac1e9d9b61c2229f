// Benchmark: how fast the receiver answers blocks, against a minimal responder in the same run,
// and what eight idle ports waiting without limit cost.
//
// Usage: bench_block_turnaround [blocks] [idle seconds] [rounds]
#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "common/clock.h"
#include "protocols/ack_nak.h"
#include "serial/result_codes.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

using namespace quillon;
using namespace quillon::bench;

namespace {

// The block protocol object alone, receiving in a thread of this process until the end block.
struct PortReceiver {
  TOrvAckNak port;
  std::thread thread;
  ~PortReceiver() {
    port.SetAbortRequested(true);
    if (thread.joinable()) thread.join();
  }
};

std::shared_ptr<void> StartPort(const std::string& line) {
  auto receiver = std::make_shared<PortReceiver>();
  if (receiver->port.Open(line, 115200, 8, 0, 1) <= 0) return nullptr;
  receiver->port.SetTimeout(5000);
  receiver->thread = std::thread([port = &receiver->port] {
    char first = '1';
    while (port->ReceiveBlock(first) == rc::kBlockReceived) first = '+';
  });
  return receiver;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Percent of one core used by eight ports each waiting without limit for a character.
double IdleCostPercent(int seconds) {
  struct Idle {
    int master = -1, slave = -1;
    TOrvComm port;
  };
  std::vector<std::unique_ptr<Idle>> ports;
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    auto idle = std::make_unique<Idle>();
    char name[256] = {};
    if (openpty(&idle->master, &idle->slave, name, nullptr, nullptr) != 0) return -1;
    if (idle->port.Open(name, 9600, 8, 0, 1) <= 0) return -1;
    idle->port.SetTimeout(0);
    ports.push_back(std::move(idle));
  }
  for (auto& idle : ports) {
    threads.emplace_back([p = idle.get()] {
      uint8_t c = 0;
      p->port.ReadChar(c);
    });
  }
  Delay(200);
  const double before = CpuSeconds();
  const uint64_t start = Clock();
  Delay(seconds * 1000);
  const double used = CpuSeconds() - before;
  const double wall = (Clock() - start) / 1000.0;
  for (auto& idle : ports) idle->port.SetAbortRequested(true);
  for (auto& t : threads) t.join();
  for (auto& idle : ports) {
    close(idle->master);
    close(idle->slave);
  }
  return used / wall * 100.0;
}

}  // namespace

int main(int argc, char** argv) {
  const int blocks = argc > 1 ? std::atoi(argv[1]) : 2000;
  const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 10;
  const int rounds = argc > 3 ? std::max(std::atoi(argv[3]), 1) : 7;
  test::TempDir dir;
  const std::string file = dir.File("blocks.txt");
  WriteBlockFile(file, blocks);
  Comparison turnaround;
  if (!MeasureAgainstReference(file, StartPort, rounds, turnaround)) return 1;
  const double ratio = turnaround.ratio;
  std::printf(
      "block turnaround: best median %.1f us, reference %.1f us; median of the rounds: "
      "+%.1f us, ratio %.2f (goal <= 1.50) %s\n",
      turnaround.receiver / 1000.0, turnaround.reference / 1000.0, turnaround.added / 1000.0, ratio,
      ratio <= 1.5 ? "OK" : "MISSED");
  const double idle = IdleCostPercent(idleSeconds);
  std::printf(
      "idle cost: 8 ports waiting without limit use %.3f %% of one core over %d s "
      "(goal < 0.5 %%) %s\n",
      idle, idleSeconds, idle >= 0 && idle < 0.5 ? "OK" : "MISSED");
  return ratio <= 1.5 && idle >= 0 && idle < 0.5 ? 0 : 1;
}
