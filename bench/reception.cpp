// Benchmark of the whole receiver: block turnaround through the receive thread (storing every
// record) against the minimal reference responder in the same run, and the cost of eight idle
// ports in `quillon /headless`.
//
// Usage: bench_reception [blocks] [idle seconds]
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "serial/clock.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

using namespace quillon;
using namespace quillon::bench;

namespace {

const std::string kBin = QUILLON_BIN_DIR;

struct Receiver {
  test::TempDir dir;
  test::ChildProcess process;

  // Installs the receiver with the given ports mapped to the given lines and starts it.
  bool Start(const std::vector<std::string>& lines) {
    std::filesystem::copy_file(kBin + "/quillon", dir.File("quillon"));
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

long RunReceiver(const std::string& file) {
  test::ChildProcess sim;
  const std::string line = StartSender(sim, file);
  if (line.empty()) return -1;
  Receiver receiver;
  if (!receiver.Start({line})) return -1;
  if (sim.Wait(120000) != 0) return -1;
  return MedianMicros(sim.out());
}

// CPU seconds and resident kilobytes of a process.
bool ProcessUsage(int pid, double& cpuSeconds, long& rssKb) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; fields >> field; ++i) {
    if (i == 14) utime = std::atol(field.c_str());
    if (i == 15) {
      stime = std::atol(field.c_str());
      break;
    }
  }
  cpuSeconds = static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
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
  test::TempDir dir;
  const std::string file = dir.File("blocks.txt");
  WriteBlockFile(file, blocks);
  long reference = -1;
  long receiver = -1;
  if (!MeasureAgainstReference(file, RunReceiver, receiver, reference)) return 1;
  const double ratio = static_cast<double>(receiver) / static_cast<double>(reference);
  std::printf("receive thread turnaround (storing every record): median %ld us, reference "
              "median %ld us, ratio %.2f (goal <= 1.50) %s\n",
              receiver, reference, ratio, ratio <= 1.5 ? "OK" : "MISSED");
  double percent = -1;
  long rssKb = -1;
  const bool measured = IdleCost(idleSeconds, percent, rssKb);
  const bool idleOk = measured && percent < 0.5 && rssKb < 20 * 1024;
  std::printf("idle receiver: 8 active ports, %.3f %% of one core over %d s (goal < 0.5 %%), "
              "%ld kB resident (goal < 20 MB) %s\n",
              percent, idleSeconds, rssKb, idleOk ? "OK" : "MISSED");
  return ratio <= 1.5 && idleOk ? 0 : 1;
}
