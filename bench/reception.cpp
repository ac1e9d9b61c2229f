// Benchmark of the whole receiver: block turnaround of `quillon /headless` storing every record
// into an append target, against the minimal reference responder in the same run, and the cost
// of eight idle ports.
//
// Usage: bench_reception [blocks] [idle seconds] [rounds]
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "common/clock.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

using namespace quillon;
using namespace quillon::bench;

namespace {

const std::string kBin = QUILLON_BIN_DIR;
// The whole program, storing every record, may take at most this much longer per block than
// the minimal responder.
constexpr double kTurnaroundGoal = 1.25;

// The program under test: the build's own, or another build named by QUILLON_BENCH_PROGRAM
// (to compare two builds on the same machine).
std::string Program() {
  const char* other = std::getenv("QUILLON_BENCH_PROGRAM");
  return other != nullptr && *other != 0 ? other : kBin + "/quillon";
}

struct Receiver {
  test::TempDir dir;
  test::ChildProcess process;

  // Installs the receiver with the given ports mapped to the given lines and starts it.
  bool Start(const std::vector<std::string>& lines) {
    std::filesystem::copy_file(Program(), dir.File("quillon"));
    std::string remap = "[Remap]\r\n";
    std::string ini;
    for (size_t i = 0; i < lines.size(); ++i) {
      const std::string n = std::to_string(i + 1);
      remap += "COM" + n + "=" + lines[i] + "\r\n";
      ini += "[Schnittstellenparameter f\xFCr COM" + n + ":]\r\nAktiviert=1\r\n";
      ini += "[Dateienparameter f\xFCr COM" + n + ":]\r\nDateiname=" + dir.File("d" + n + ".dat") +
             "\r\nDateimodus=1\r\n";
    }
    test::WriteBytes(dir.File("ComRemap.ini"), remap);
    test::WriteBytes(dir.File("quillon.ini"), ini);
    return process.Start({dir.File("quillon"), "/headless"}, dir.path(),
                         {"XDG_RUNTIME_DIR=" + dir.path(), "HOME=" + dir.path()});
  }
  ~Receiver() {
    process.Signal(SIGTERM);
    process.Wait(20000);
  }
};

// `quillon /headless` on the line, storing into an append target.
std::shared_ptr<void> StartProgram(const std::string& line) {
  auto receiver = std::make_shared<Receiver>();
  if (!receiver->Start({line})) return nullptr;
  return receiver;
}

// CPU seconds and resident kilobytes of a process.
bool ProcessUsage(int pid, double& cpuSeconds, long& rssKb) {
  cpuSeconds = bench::ProcessCpuSeconds(pid);
  if (cpuSeconds < 0) return false;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) rssKb = std::atol(line.c_str() + 6);
  }
  return true;
}

bool IdleCost(int seconds, double& percent, long& rssKb) {
  std::vector<std::unique_ptr<test::ChildProcess>> sims;
  std::vector<std::string> lines;
  for (int i = 0; i < 8; ++i) {
    auto sim = std::make_unique<test::ChildProcess>();
    if (!sim->Start({kBin + "/quillon-sim", "--pty"}, "") || !sim->WaitForOutput("\n", 5000)) {
      return false;
    }
    const std::string& out = sim->out();
    lines.push_back(out.substr(5, out.find('\n') - 5));
    sims.push_back(std::move(sim));
  }
  Receiver receiver;
  if (!receiver.Start(lines)) return false;
  Delay(3000);  // start-up and the first wait of every port
  double before = 0;
  long rss = 0;
  if (!ProcessUsage(receiver.process.pid(), before, rss)) return false;
  const uint64_t start = Clock();
  Delay(seconds * 1000);
  double after = 0;
  if (!ProcessUsage(receiver.process.pid(), after, rssKb)) return false;
  percent = (after - before) / ((Clock() - start) / 1000.0) * 100.0;
  for (auto& sim : sims) sim->Signal(SIGTERM);
  return true;
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
  if (!MeasureAgainstReference(file, StartProgram, rounds, turnaround)) return 1;
  const double ratio = turnaround.ratio;
  std::printf(
      "program turnaround (quillon /headless storing every record): best median %.1f "
      "us, reference %.1f us; median of the rounds: +%.1f us, ratio %.2f "
      "(goal <= %.2f) %s\n",
      turnaround.receiver / 1000.0, turnaround.reference / 1000.0, turnaround.added / 1000.0, ratio,
      kTurnaroundGoal, ratio <= kTurnaroundGoal ? "OK" : "MISSED");
  double percent = -1;
  long rssKb = -1;
  const bool measured = IdleCost(idleSeconds, percent, rssKb);
  const bool idleOk = measured && percent < 0.5 && rssKb < 20 * 1024;
  std::printf(
      "idle receiver: 8 active ports, %.3f %% of one core over %d s (goal < 0.5 %%), "
      "%ld kB resident (goal < 20 MB) %s\n",
      percent, idleSeconds, rssKb, idleOk ? "OK" : "MISSED");
  return ratio <= kTurnaroundGoal && idleOk ? 0 : 1;
}
