// Benchmark: the standard send (one block per line) and the binary-chunk send of a file to the
// terminal simulator over a pseudo-terminal, per block, against the minimal sending loop of the
// turnaround benchmark (bench_block_sender) sending blocks of the same sizes to the same
// simulator in the same run. The time per block is, on both sides, the median interval between
// two accepted blocks (read, build, write, answer; ours also its progress report), so blocks per
// second are compared like for like; the reference's bare write-to-answer time is printed beside
// it. Rounds alternate between the two so that both meet the same load of the machine.
//
// Usage: bench_send_modes [kilobytes] [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "protocols/ack_nak.h"
#include "protocols/ms_comm.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

using namespace quillon;

namespace {

constexpr int kWaitMs = 120000;
const std::string kBin = QUILLON_BIN_DIR;

struct Figures {
  double medianUs = -1;         // per block
  double turnaroundUs = -1;     // write to answer (reference only)
  double blocksPerSecond = -1;  // over the whole transfer (ours only)
  long blocks = 0;
};

long Nanoseconds() {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::steady_clock::now().time_since_epoch())
                               .count());
}

double MedianUs(std::vector<long> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return static_cast<double>(values[(values.size() - 1) / 2]) / 1000.0;
}

// `size` bytes of printable lines `width` characters long: every line one block.
void WriteLineFile(const std::string& path, long size, int width) {
  std::ofstream out(path, std::ios::binary);
  for (long written = 0, n = 0; written < size; ++n) {
    std::string line = std::to_string(n) + ":";
    while (static_cast<int>(line.size()) < width) line += static_cast<char>('a' + line.size() % 26);
    out << line << "\r\n";
    written += width + 2;
  }
}

void WriteBinaryFile(const std::string& path, long size) {
  std::string bytes(static_cast<size_t>(size), '\0');
  for (long i = 0; i < size; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>(i * 31 % 256);
  std::ofstream(path, std::ios::binary) << bytes;
}

// bench_block_sender sends `file` to the simulator receiving on the far side of its line.
bool RunReference(const std::string& dir, const std::string& file, Figures& f) {
  test::ChildProcess sender;
  test::ChildProcess sim;
  if (!sender.Start({kBin + "/bench_block_sender", file}, dir) ||
      !sender.WaitForOutput("\n", kWaitMs)) {
    return false;
  }
  const std::string line = sender.out().substr(5, sender.out().find('\n') - 5);
  if (!sim.Start({kBin + "/quillon-sim", "--device", line, "--receive", "ref.out"}, dir)) {
    return false;
  }
  if (sender.Wait(kWaitMs) != 0 || sim.Wait(kWaitMs) != 0) {
    std::fprintf(stderr, "reference failed: %s %s\n", sender.err().c_str(), sim.err().c_str());
    return false;
  }
  const auto at = sender.out().find("median_ns=");
  const auto count = sender.out().find("blocks=");
  const auto period = sender.out().find("period_ns=");
  if (at == std::string::npos || count == std::string::npos || period == std::string::npos) {
    return false;
  }
  f.turnaroundUs = std::atol(sender.out().c_str() + at + 10) / 1000.0;
  f.medianUs = std::atol(sender.out().c_str() + period + 10) / 1000.0;
  f.blocks = std::atol(sender.out().c_str() + count + 7);
  return true;
}

// Our port sends `file` to the simulator; `binary` chooses the chunk send.
bool RunOurs(const std::string& dir, const std::string& file, bool binary, Figures& f) {
  test::ChildProcess sim;
  if (!sim.Start(
          {kBin + "/quillon-sim", "--pty", binary ? "--receive-mscomm" : "--receive", "ours.out"},
          dir) ||
      !sim.WaitForOutput("\n", kWaitMs)) {
    return false;
  }
  const std::string line = sim.out().substr(5, sim.out().find('\n') - 5);
  std::vector<long> stamps;
  stamps.reserve(20000);
  auto progress = [&stamps](int, int, int, int) { stamps.push_back(Nanoseconds()); };
  int result = -1;
  if (binary) {
    TOrvMsComm port;
    if (port.Open(line) <= 0) return false;
    result = port.SendFile(file, progress);
  } else {
    TOrvAckNak port;
    if (port.Open(line, 9600, 8, 0, 1) <= 0) return false;
    port.SetTimeout(2000);
    result = port.SendFile(file, progress);
  }
  if (result != 0 || sim.Wait(kWaitMs) != 0 || stamps.size() < 3) {
    std::fprintf(stderr, "send failed: %d %s\n", result, sim.err().c_str());
    return false;
  }
  // The first stamp comes before anything is sent; the second after the header and the first
  // data block: intervals from there on are one block each.
  std::vector<long> intervals;
  for (size_t i = 2; i < stamps.size(); ++i) intervals.push_back(stamps[i] - stamps[i - 1]);
  f.medianUs = MedianUs(intervals);
  f.blocks = static_cast<long>(stamps.size() - 1);
  f.blocksPerSecond =
      static_cast<double>(stamps.size() - 2) * 1e9 / static_cast<double>(stamps.back() - stamps[1]);
  return true;
}

bool Compare(const char* name, const std::string& dir, const std::string& ourFile,
             const std::string& referenceFile, bool binary, int rounds, double& ratio) {
  std::vector<double> ours, reference, ratios;
  double bestRate = 0;
  long blocks = 0;
  for (int round = 0; round < rounds; ++round) {
    Figures a, b;
    if (!RunReference(dir, referenceFile, b) || !RunOurs(dir, ourFile, binary, a)) return false;
    ours.push_back(a.medianUs);
    reference.push_back(b.medianUs);
    ratios.push_back(a.medianUs / b.medianUs);
    bestRate = std::max(bestRate, a.blocksPerSecond);
    blocks = a.blocks;
    std::printf(
        "  %s round %d: ours %.1f us/block (%.0f blocks/s over %ld blocks), reference "
        "%.1f us/block (write to answer %.1f us)\n",
        name, round + 1, a.medianUs, a.blocksPerSecond, a.blocks, b.medianUs, b.turnaroundUs);
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[(v.size() - 1) / 2];
  };
  ratio = median(ratios);
  std::printf(
      "%s: %ld blocks, ours %.1f us/block (%.0f blocks/s at the median, best whole "
      "transfer %.0f blocks/s), reference %.1f us/block (%.0f blocks/s); ratio %.2f "
      "(goal <= 1.50) %s\n",
      name, blocks, median(ours), 1e6 / median(ours), bestRate, median(reference),
      1e6 / median(reference), ratio, ratio <= 1.5 ? "OK" : "MISSED");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const long size = (argc > 1 ? std::atol(argv[1]) : 1024) * 1024;
  const int rounds = argc > 2 ? std::max(std::atoi(argv[2]), 1) : 5;
  test::TempDir dir;
  const std::string lines = dir.File("lines.txt");
  const std::string binary = dir.File("program.bin");
  const std::string chunkLines = dir.File("chunks.txt");
  WriteLineFile(lines, size, 255);
  WriteBinaryFile(binary, size);
  WriteLineFile(chunkLines, size, TOrvMsComm::kChunkSize);  // the same blocks as text lines
  double standard = 0, chunks = 0;
  if (!Compare("standard send", dir.path(), lines, lines, false, rounds, standard)) return 1;
  if (!Compare("binary chunks", dir.path(), binary, chunkLines, true, rounds, chunks)) return 1;
  return standard <= 1.5 && chunks <= 1.5 ? 0 : 1;
}
