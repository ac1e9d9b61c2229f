#include "bench_support.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace quillon::bench {

double ProcessCpuSeconds(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  const std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  long ticks = 0;
  for (int i = 3; fields >> field && i <= 15; ++i) {
    if (i >= 14) ticks += std::atol(field.c_str());
  }
  return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

namespace {

const std::string kBin = QUILLON_BIN_DIR;

// Pins the calling thread (and so every process or thread it starts meanwhile) to one of the
// first two processors it may use; the old mask comes back at destruction. With a single
// processor nothing is pinned.
class Placement {
 public:
  Placement() { sched_getaffinity(0, sizeof saved_, &saved_); }
  ~Placement() { sched_setaffinity(0, sizeof saved_, &saved_); }
  void Pin(int which) {
    int seen = 0;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
      if (!CPU_ISSET(cpu, &saved_) || seen++ != which) continue;
      cpu_set_t one;
      CPU_ZERO(&one);
      CPU_SET(cpu, &one);
      sched_setaffinity(0, sizeof one, &one);
      return;
    }
  }

 private:
  cpu_set_t saved_{};
};

std::vector<std::string> Lines(const std::string& out) {
  std::vector<std::string> lines;
  for (size_t pos = out.find("LINE "); pos != std::string::npos; pos = out.find("LINE ", pos)) {
    const size_t end = out.find('\n', pos);
    if (end == std::string::npos) break;
    lines.push_back(out.substr(pos + 5, end - pos - 5));
    pos = end;
  }
  return lines;
}

long MedianNanos(const std::string& out, int line) {
  const std::string key = "line=" + std::to_string(line) + " median_ns=";
  const auto pos = out.find(key);
  return pos == std::string::npos ? -1 : std::atol(out.c_str() + pos + key.size());
}

// One transfer to the reference (line 1) and the receiver (line 2); medians in ns.
bool RunRound(const std::string& file, const StartReceiver& start, long& reference,
              long& receiver) {
  test::ChildProcess sender;
  test::ChildProcess responder;
  std::shared_ptr<void> handle;
  {
    Placement cpus;
    cpus.Pin(0);
    if (!sender.Start({kBin + "/bench_block_sender", file, "2"}, "")) return false;
    for (int i = 0; i < 50 && Lines(sender.out()).size() < 2; ++i) {
      sender.WaitForOutput("\n", 100);
    }
    const auto lines = Lines(sender.out());
    if (lines.size() < 2) return false;
    cpus.Pin(1);
    if (!responder.Start({kBin + "/bench_reference_responder", lines[0]}, "")) return false;
    handle = start(lines[1]);
    if (!handle) return false;
  }
  const bool sent = sender.Wait(120000) == 0;
  handle.reset();
  responder.Wait(5000);
  reference = MedianNanos(sender.out(), 1);
  receiver = MedianNanos(sender.out(), 2);
  return sent && reference > 0 && receiver > 0;
}

template <typename T>
T Median(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

void WriteBlockFile(const std::string& path, int blocks) {
  std::ofstream out(path, std::ios::binary);
  for (int i = 0; i < blocks; ++i) {
    out << std::string(255, static_cast<char>('A' + i % 26)) << "\r\n";
  }
}

bool MeasureAgainstReference(const std::string& file, const StartReceiver& start, int rounds,
                             Comparison& result) {
  result = {};
  std::vector<double> ratios;
  std::vector<long> added;
  std::printf("medians per round (reference/receiver, us):");
  for (int round = 0; round < rounds; ++round) {
    long r = -1;
    long q = -1;
    if (!RunRound(file, start, r, q)) {
      std::printf(" failed");
      continue;
    }
    std::printf(" %.1f/%.1f", r / 1000.0, q / 1000.0);
    std::fflush(stdout);
    ratios.push_back(static_cast<double>(q) / static_cast<double>(r));
    added.push_back(q - r);
    if (result.reference < 0 || r < result.reference) result.reference = r;
    if (result.receiver < 0 || q < result.receiver) result.receiver = q;
  }
  std::printf("\n");
  if (ratios.empty()) {
    std::fprintf(stderr, "Messung fehlgeschlagen\n");
    return false;
  }
  result.ratio = Median(ratios);
  result.added = Median(added);
  return true;
}

}  // namespace quillon::bench
