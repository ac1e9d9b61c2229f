// Soak benchmark of the receiver: `quillon /headless` on eight ports, each fed by a terminal
// simulator sending block-protocol transfers with line faults, one batch after another, for
// several minutes. Afterwards:
//   - every transfer a simulator reports as confirmed is stored exactly once, nothing else is
//     stored (each batch's records carry port and batch number, so every stored transfer is
//     matched to the batch that sent it);
//   - resident memory and open descriptors of quillon at the start (after a warm-up) and at the
//     end, both taken with the lines quiet, and their peak under load;
//   - threads at the start and the end: none left behind once the transfers are over;
//   - the idle cost once the simulators are quiet: CPU of quillon over some seconds.
//
// Every port's line is a relay inside this process between two pseudo-terminal pairs, so that
// quillon keeps one line open for the whole run while a new simulator process takes over the
// far end for every batch. A line without a simulator drops what quillon sends, like a terminal
// that is switched off.
//
// Usage: bench_soak [minutes=10] [ports=8]
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "support/child_process.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

using namespace quillon;

namespace {

using Steady = std::chrono::steady_clock;

const std::string kBin = QUILLON_BIN_DIR;
constexpr int kMaxPorts = 8;
constexpr int kLinesPerTransfer = 20;
constexpr int kTransfersPerBatch = 5;
constexpr double kFaultRate = 0.03;  // per block sent
constexpr int kWarmupSeconds = 30;
constexpr int kIdleSeconds = 10;
constexpr int kQuietSettleMs = 2000;   // after the last simulator of a phase has ended
constexpr int kBatchLimitMs = 300000;  // a simulator running longer hangs
constexpr int kStartWaitMs = 20000;
constexpr long kRssMarginKb = 2048;
constexpr double kIdleGoalPercent = 0.5;

double Seconds(Steady::duration d) { return std::chrono::duration<double>(d).count(); }

// Every descriptor of this process beyond the standard ones is closed in the programs it
// starts: quillon's descriptor count must be its own.
void CloseOnExecAll() {
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    const int fd = std::atoi(entry.path().filename().c_str());
    if (fd > 2) fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
  }
}

// One look at a process through /proc.
struct Usage {
  long rssKb = -1;
  int fds = -1;
  int threads = -1;
  double cpuSeconds = -1;
};

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

Usage Look(int pid) {
  Usage u;
  const std::string proc = "/proc/" + std::to_string(pid);
  std::ifstream status(proc + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) u.rssKb = std::atol(line.c_str() + 6);
  }
  u.fds = static_cast<int>(Entries(proc + "/fd").size());
  u.threads = static_cast<int>(Entries(proc + "/task").size());
  u.cpuSeconds = bench::ProcessCpuSeconds(pid);
  return u;
}

// What quillon's descriptors point at, and its threads' names: shown when the end differs from
// the start.
std::multiset<std::string> DescriptorTargets(int pid) {
  std::multiset<std::string> targets;
  const std::string dir = "/proc/" + std::to_string(pid) + "/fd";
  for (const std::string& fd : Entries(dir)) {
    std::error_code ec;
    const auto target = std::filesystem::read_symlink(dir + "/" + fd, ec);
    targets.insert(ec ? "?" : target.string());
  }
  return targets;
}

std::multiset<std::string> ThreadNames(int pid) {
  std::multiset<std::string> names;
  const std::string dir = "/proc/" + std::to_string(pid) + "/task";
  for (const std::string& task : Entries(dir)) {
    std::ifstream comm(dir + "/" + task + "/comm");
    std::string name;
    std::getline(comm, name);
    names.insert(name);
  }
  return names;
}

std::string Difference(const std::multiset<std::string>& before,
                       const std::multiset<std::string>& after) {
  std::vector<std::string> added, gone;
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                      std::back_inserter(added));
  std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                      std::back_inserter(gone));
  std::string text;
  for (const auto& a : added) text += " +" + a;
  for (const auto& g : gone) text += " -" + g;
  return text.empty() ? " none" : text;
}

// The lines of all ports: for each, quillon's pseudo-terminal and the simulator's, and a thread
// copying between their master sides. Bytes towards a port without a simulator are dropped.
class LineRelay {
 public:
  explicit LineRelay(int ports) : ports_(ports) {
    for (int p = 0; p < ports; ++p) {
      pc_.push_back(std::make_unique<test::PtyPair>());
      sim_.push_back(std::make_unique<test::PtyPair>());
      for (int fd : {pc_.back()->master(), sim_.back()->master()}) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
      }
    }
    if (pipe2(stop_, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    thread_ = std::thread([this] { Run(); });
  }
  ~LineRelay() {
    (void)write(stop_[1], "x", 1);
    thread_.join();
    close(stop_[0]);
    close(stop_[1]);
  }
  LineRelay(const LineRelay&) = delete;
  LineRelay& operator=(const LineRelay&) = delete;

  const std::string& QuillonLine(int port) const { return pc_[port]->path(); }
  const std::string& SimLine(int port) const { return sim_[port]->path(); }
  // Whether a simulator holds the far end of a port; set before it starts, cleared after.
  void SimAttached(int port, bool attached) { attached_[port] = attached; }
  uint64_t Bytes() const { return bytes_.load(); }
  uint64_t Dropped() const { return dropped_.load(); }

 private:
  // One direction of one port: bytes read from `from` that `to` has not taken yet.
  struct Flow {
    int from;
    int to;
    int port;
    bool towardsSim;
    std::string pending;
  };

  void Run() {
    std::vector<Flow> flows;
    for (int p = 0; p < ports_; ++p) {
      flows.push_back({pc_[p]->master(), sim_[p]->master(), p, true, {}});
      flows.push_back({sim_[p]->master(), pc_[p]->master(), p, false, {}});
    }
    char buffer[4096];
    for (;;) {
      // Per flow: its source while nothing is pending, else its destination until it is free.
      std::vector<pollfd> fds;
      for (const Flow& f : flows) {
        fds.push_back(f.pending.empty() ? pollfd{f.from, POLLIN, 0} : pollfd{f.to, POLLOUT, 0});
      }
      fds.push_back({stop_[0], POLLIN, 0});
      // A port whose simulator comes or goes is looked at again within 50 ms.
      const int r = poll(fds.data(), fds.size(), 50);
      if (r < 0 && errno != EINTR) return;
      if (fds.back().revents != 0) return;
      for (size_t i = 0; i < flows.size(); ++i) {
        Flow& f = flows[i];
        const bool dropping = f.towardsSim && !attached_[f.port];
        if (dropping && !f.pending.empty()) {
          dropped_ += f.pending.size();
          f.pending.clear();
        }
        if (f.pending.empty() && (fds[i].revents & POLLIN)) {
          const ssize_t n = read(f.from, buffer, sizeof buffer);
          if (n > 0) {
            bytes_ += static_cast<uint64_t>(n);
            if (dropping) {
              dropped_ += static_cast<uint64_t>(n);
            } else {
              f.pending.assign(buffer, static_cast<size_t>(n));
            }
          }
        }
        if (!f.pending.empty()) {
          const ssize_t n = write(f.to, f.pending.data(), f.pending.size());
          if (n > 0) f.pending.erase(0, static_cast<size_t>(n));
        }
      }
    }
  }

  int ports_;
  std::vector<std::unique_ptr<test::PtyPair>> pc_;
  std::vector<std::unique_ptr<test::PtyPair>> sim_;
  std::atomic<bool> attached_[kMaxPorts] = {};
  std::atomic<uint64_t> bytes_{0};
  std::atomic<uint64_t> dropped_{0};
  int stop_[2] = {-1, -1};
  std::thread thread_;
};

// The records of one batch: a header naming port and batch, then numbered lines. Stored, each
// carries its block's type character in front: '1' the header, '+' the others.
std::string Header(int port, int batch) {
  return "SOAK P" + std::to_string(port + 1) + " B" + std::to_string(batch);
}
std::string Record(int port, int batch, int line) {
  std::string text = "P" + std::to_string(port + 1) + " B" + std::to_string(batch) + " L" +
                     std::to_string(line) + " ";
  for (int i = 0; i < 60; ++i) text += static_cast<char>('A' + (batch + line + i) % 26);
  return text;
}

// What the simulators reported, per port and batch.
struct Reports {
  std::map<int, int> confirmed;  // batch -> transfers confirmed
  long transfers = 0;
  long naks = 0;
  long faults = 0;
  long failedBatches = 0;
  std::vector<std::string> failures;  // the first few failed simulators' messages
};

// One port's simulator, one batch after another.
struct PortFeed {
  int port = 0;
  int batch = 0;
  std::unique_ptr<test::ChildProcess> sim;
  Steady::time_point started;
  Reports reports;
};

bool Ended(const test::ChildProcess& sim) {
  std::ifstream stat("/proc/" + std::to_string(sim.pid()) + "/stat");
  const std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  return close == std::string::npos || (close + 2 < text.size() && text[close + 2] == 'Z');
}

class Soak {
 public:
  explicit Soak(int ports) : ports_(ports), relay_(ports) {
    for (int p = 0; p < ports; ++p) feeds_.push_back(PortFeed{p, 0, nullptr, {}, {}});
  }
  ~Soak() {
    if (running_) {
      quillon_.Signal(SIGTERM);
      (void)quillon_.Wait(20000);
    }
  }

  bool StartQuillon() {
    std::filesystem::copy_file(kBin + "/quillon", dir_.File("quillon"));
    std::string remap = "[Remap]\r\n";
    std::string ini;
    for (int p = 0; p < ports_; ++p) {
      const std::string n = std::to_string(p + 1);
      remap += "COM" + n + "=" + relay_.QuillonLine(p) + "\r\n";
      ini += "[Schnittstellenparameter f\xFCr COM" + n + ":]\r\nAktiviert=1\r\n";
      ini += "[Dateienparameter f\xFCr COM" + n + ":]\r\nDateiname=" + Target(p) +
             "\r\nDateimodus=1\r\n";
    }
    test::WriteBytes(dir_.File("ComRemap.ini"), remap);
    test::WriteBytes(dir_.File("quillon.ini"), ini);
    CloseOnExecAll();
    running_ = quillon_.Start({dir_.File("quillon"), "/headless"}, dir_.path(),
                              {"XDG_RUNTIME_DIR=" + dir_.path(), "HOME=" + dir_.path()});
    if (!running_) return false;
    // Ready once quillon itself (not the child before its exec, which still holds this
    // process's descriptors) has every line open.
    const std::string exe = std::filesystem::canonical(dir_.File("quillon")).string();
    const auto end = Steady::now() + std::chrono::milliseconds(kStartWaitMs);
    while (Steady::now() < end) {
      std::error_code ec;
      const auto running =
          std::filesystem::read_symlink("/proc/" + std::to_string(quillon_.pid()) + "/exe", ec);
      const auto targets = DescriptorTargets(quillon_.pid());
      int open = 0;
      for (int p = 0; p < ports_; ++p) open += targets.count(relay_.QuillonLine(p)) > 0 ? 1 : 0;
      if (!ec && running.string() == exe && open == ports_) {
        Pump(kQuietSettleMs);  // the first wait of every port
        return true;
      }
      Pump(100);
    }
    std::fprintf(stderr, "quillon did not open all lines:\n%s%s", quillon_.out().c_str(),
                 quillon_.err().c_str());
    return false;
  }

  // Keeps every port busy with batch after batch for `seconds`, then lets the running batches
  // end and the lines settle. Samples quillon every second meanwhile.
  bool Load(int seconds) {
    const auto end = Steady::now() + std::chrono::seconds(seconds);
    auto nextSample = Steady::now();
    for (;;) {
      const bool more = Steady::now() < end;
      int busy = 0;
      for (PortFeed& feed : feeds_) {
        if (feed.sim && !Finish(feed)) return false;
        if (!feed.sim && more && !StartBatch(feed)) return false;
        busy += feed.sim ? 1 : 0;
      }
      if (Steady::now() >= nextSample) {
        Sample();
        nextSample += std::chrono::seconds(1);
      }
      if (!more && busy == 0) break;
      Pump(20);
    }
    const auto settled = Steady::now() + std::chrono::milliseconds(kQuietSettleMs);
    while (Steady::now() < settled) Pump(50);
    return true;
  }

  // CPU of quillon per wall second over `seconds` with the lines quiet, in percent of a core.
  double IdlePercent(int seconds) {
    const double before = bench::ProcessCpuSeconds(quillon_.pid());
    const auto start = Steady::now();
    const auto end = start + std::chrono::seconds(seconds);
    while (Steady::now() < end) Pump(200);
    const double after = bench::ProcessCpuSeconds(quillon_.pid());
    return (after - before) / Seconds(Steady::now() - start) * 100.0;
  }

  int StopQuillon() {
    quillon_.Signal(SIGTERM);
    running_ = false;
    return quillon_.Wait(30000);
  }

  // Compares the stored files with the simulators' reports.
  void Check(long& stored, long& missing, long& extra, long& malformed, std::string& example) {
    stored = missing = extra = malformed = 0;
    for (const PortFeed& feed : feeds_) {
      std::map<int, int> found;
      CountStored(feed.port, found, malformed, example);
      std::set<int> batches;
      for (const auto& [b, n] : found) batches.insert(b);
      for (const auto& [b, n] : feed.reports.confirmed) batches.insert(b);
      for (int b : batches) {
        const int want = feed.reports.confirmed.count(b) ? feed.reports.confirmed.at(b) : 0;
        const int have = found.count(b) ? found.at(b) : 0;
        stored += have;
        if (have < want) missing += want - have;
        if (have > want) extra += have - want;
        if (have != want && example.empty()) {
          example = "COM" + std::to_string(feed.port + 1) + " batch " + std::to_string(b) +
                    ": confirmed " + std::to_string(want) + ", stored " + std::to_string(have);
        }
      }
    }
  }

  Reports Totals() const {
    Reports all;
    for (const PortFeed& feed : feeds_) {
      all.transfers += feed.reports.transfers;
      all.naks += feed.reports.naks;
      all.faults += feed.reports.faults;
      all.failedBatches += feed.reports.failedBatches;
      for (const auto& f : feed.reports.failures) {
        if (all.failures.size() < 5) all.failures.push_back(f);
      }
    }
    return all;
  }

  int Pid() const { return quillon_.pid(); }
  const LineRelay& Relay() const { return relay_; }
  const Usage& Peak() const { return peak_; }
  void ResetPeak() { peak_ = Look(quillon_.pid()); }
  // Resident kilobytes at the end of every minute of sampling.
  const std::vector<long>& RssPerMinute() const { return rssPerMinute_; }
  void ResetMinutes() {
    rssPerMinute_.clear();
    samples_ = 0;
  }
  const std::string& QuillonErrors() const { return quillon_.err(); }

 private:
  std::string Target(int port) const { return dir_.File("d" + std::to_string(port + 1) + ".dat"); }

  // Reads what quillon prints, so that it never blocks on a full pipe; waits up to `ms`.
  void Pump(int ms) { (void)quillon_.WaitForOutput("\x01", ms); }

  void Sample() {
    const Usage u = Look(quillon_.pid());
    peak_.rssKb = std::max(peak_.rssKb, u.rssKb);
    peak_.fds = std::max(peak_.fds, u.fds);
    peak_.threads = std::max(peak_.threads, u.threads);
    if (++samples_ % 60 == 0) rssPerMinute_.push_back(u.rssKb);
  }

  bool StartBatch(PortFeed& feed) {
    ++feed.batch;
    const std::string file =
        dir_.File("send" + std::to_string(feed.port + 1) + "_" + std::to_string(feed.batch));
    std::string content;
    for (int line = 1; line <= kLinesPerTransfer; ++line) {
      content += Record(feed.port, feed.batch, line) + "\r\n";
    }
    test::WriteBytes(file, content);
    const std::string seed = std::to_string((feed.port + 1) * 1000003L + feed.batch);
    relay_.SimAttached(feed.port, true);
    feed.sim = std::make_unique<test::ChildProcess>();
    feed.started = Steady::now();
    const bool started = feed.sim->Start(
        {kBin + "/quillon-sim", "--device", relay_.SimLine(feed.port), "--send", file, "--header",
         Header(feed.port, feed.batch), "--transfers", std::to_string(kTransfersPerBatch),
         "--fault-rate", std::to_string(kFaultRate), "--seed", seed},
        dir_.path());
    if (!started) std::fprintf(stderr, "quillon-sim did not start\n");
    return started;
  }

  // Collects a simulator that has ended (or has hung too long); false only on a broken run.
  bool Finish(PortFeed& feed) {
    const bool late = Steady::now() - feed.started > std::chrono::milliseconds(kBatchLimitMs);
    if (!Ended(*feed.sim) && !late) return true;
    const int code = feed.sim->Wait(late ? 0 : 10000);
    relay_.SimAttached(feed.port, false);
    Reports& r = feed.reports;
    std::istringstream out(feed.sim->out());
    for (std::string line; std::getline(out, line);) {
      int number = 0, blocks = 0, naks = 0;
      long faults = 0;
      if (std::sscanf(line.c_str(), "SENT %d %d %d", &number, &blocks, &naks) == 3) {
        ++r.confirmed[feed.batch];
        ++r.transfers;
        r.naks += naks;
      } else if (std::sscanf(line.c_str(), "FAULTS %ld", &faults) == 1) {
        r.faults += faults;
      }
    }
    if (code != 0) {
      ++r.failedBatches;
      if (r.failures.size() < 5) {
        r.failures.push_back("COM" + std::to_string(feed.port + 1) + " batch " +
                             std::to_string(feed.batch) + " (code " + std::to_string(code) +
                             "): " + feed.sim->err());
      }
    }
    std::filesystem::remove(
        dir_.File("send" + std::to_string(feed.port + 1) + "_" + std::to_string(feed.batch)));
    feed.sim.reset();
    return true;
  }

  // Complete transfers in a port's target: a header followed by all its lines in order.
  void CountStored(int port, std::map<int, int>& found, long& malformed,
                   std::string& example) const {
    std::ifstream in(Target(port), std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    const std::string prefix = "1SOAK P" + std::to_string(port + 1) + " B";
    size_t i = 0;
    while (i < lines.size()) {
      if (lines[i].rfind(prefix, 0) != 0) {
        ++malformed;
        if (example.empty()) example = "COM" + std::to_string(port + 1) + ": " + lines[i];
        ++i;
        continue;
      }
      const int batch = std::atoi(lines[i].c_str() + prefix.size());
      size_t next = i + 1;
      int line = 1;
      while (line <= kLinesPerTransfer && next < lines.size() &&
             lines[next] == "+" + Record(port, batch, line)) {
        ++line;
        ++next;
      }
      if (line > kLinesPerTransfer && "1" + Header(port, batch) == lines[i]) {
        ++found[batch];
      } else {
        malformed += static_cast<long>(next - i);
        if (example.empty()) {
          example = "COM" + std::to_string(port + 1) + ": incomplete after " + lines[i];
        }
      }
      i = next;
    }
  }

  int ports_;
  test::TempDir dir_;
  LineRelay relay_;
  test::ChildProcess quillon_;
  bool running_ = false;
  std::vector<PortFeed> feeds_;
  Usage peak_;
  std::vector<long> rssPerMinute_;
  long samples_ = 0;
};

const char* Verdict(bool ok) { return ok ? "OK" : "MISSED"; }

}  // namespace

int main(int argc, char** argv) {
  const double minutes = argc > 1 ? std::max(std::atof(argv[1]), 0.1) : 10.0;
  const int ports = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, kMaxPorts) : kMaxPorts;
  const int soakSeconds = static_cast<int>(minutes * 60);
  signal(SIGPIPE, SIG_IGN);

  Soak soak(ports);
  if (!soak.StartQuillon()) return 1;
  const int pid = soak.Pid();
  const Usage idleBefore = Look(pid);
  std::printf(
      "soak: %d ports, %.1f min, %d lines per transfer, %d transfers per simulator, "
      "fault rate %.2f per block\n",
      ports, minutes, kLinesPerTransfer, kTransfersPerBatch, kFaultRate);
  std::fflush(stdout);

  // Warm-up: the first transfers fill caches, pools and the allocator's arenas.
  if (!soak.Load(kWarmupSeconds)) return 1;
  const Usage start = Look(pid);
  const auto fdsAtStart = DescriptorTargets(pid);
  const auto threadsAtStart = ThreadNames(pid);
  soak.ResetPeak();
  soak.ResetMinutes();
  const double cpuAtStart = start.cpuSeconds;
  const long transfersAtStart = soak.Totals().transfers;
  const auto loadBegun = Steady::now();

  if (!soak.Load(soakSeconds)) return 1;
  const double loadWall = Seconds(Steady::now() - loadBegun);
  const Usage end = Look(pid);
  const auto fdsAtEnd = DescriptorTargets(pid);
  const auto threadsAtEnd = ThreadNames(pid);
  const double idle = soak.IdlePercent(kIdleSeconds);
  const int exitCode = soak.StopQuillon();

  const Reports totals = soak.Totals();
  long stored = 0, missing = 0, extra = 0, malformed = 0;
  std::string example;
  soak.Check(stored, missing, extra, malformed, example);

  const bool storedOk = missing == 0 && extra == 0 && malformed == 0 && totals.transfers > 0;
  const bool rssOk = end.rssKb <= start.rssKb + kRssMarginKb;
  const bool fdsOk = end.fds <= start.fds;
  const bool threadsOk = end.threads <= start.threads && end.threads <= idleBefore.threads;
  const bool idleOk = idle >= 0 && idle < kIdleGoalPercent;
  const bool exitOk = exitCode == 0;

  std::printf(
      "transfers confirmed by the simulators: %ld (%.1f per second after the warm-up), "
      "faults injected %ld, NAKs %ld, batches failed %ld, relay bytes %llu\n",
      totals.transfers, static_cast<double>(totals.transfers - transfersAtStart) / loadWall,
      totals.faults, totals.naks, totals.failedBatches,
      static_cast<unsigned long long>(soak.Relay().Bytes()));
  for (const std::string& f : totals.failures) std::printf("  failed: %s", f.c_str());
  std::printf(
      "stored exactly once: %ld transfers stored, %ld missing, %ld extra, %ld stray "
      "lines%s%s (goal 0/0/0) %s\n",
      stored, missing, extra, malformed, example.empty() ? "" : "; e.g. ", example.c_str(),
      Verdict(storedOk));
  std::printf(
      "resident memory: idle before load %ld kB, start %ld kB, end %ld kB (%+ld kB), "
      "peak %ld kB (goal end <= start + %ld kB) %s\n",
      idleBefore.rssKb, start.rssKb, end.rssKb, end.rssKb - start.rssKb, soak.Peak().rssKb,
      kRssMarginKb, Verdict(rssOk));
  std::string trend;
  for (long kb : soak.RssPerMinute()) trend += " " + std::to_string(kb);
  std::printf("resident memory per minute of load (kB):%s\n", trend.c_str());
  std::printf(
      "open descriptors: idle before load %d, start %d, end %d, peak %d (goal end <= "
      "start) %s; changed:%s\n",
      idleBefore.fds, start.fds, end.fds, soak.Peak().fds, Verdict(fdsOk),
      Difference(fdsAtStart, fdsAtEnd).c_str());
  std::printf(
      "threads: idle before load %d, start %d, end %d, peak %d (goal end <= start) %s; "
      "changed:%s\n",
      idleBefore.threads, start.threads, end.threads, soak.Peak().threads, Verdict(threadsOk),
      Difference(threadsAtStart, threadsAtEnd).c_str());
  std::printf("CPU under load: %.1f %% of one core\n",
              (end.cpuSeconds - cpuAtStart) / loadWall * 100.0);
  std::printf("idle after load: %.3f %% of one core over %d s (goal < %.1f %%) %s\n", idle,
              kIdleSeconds, kIdleGoalPercent, Verdict(idleOk));
  std::printf("quillon ended on SIGTERM with code %d (goal 0) %s\n", exitCode, Verdict(exitOk));
  const std::string& errors = soak.QuillonErrors();
  if (!errors.empty()) {
    // The settings completed at start-up report themselves here once per port.
    const long count = std::count(errors.begin(), errors.end(), '\n');
    std::printf("quillon stderr: %ld lines, the first: %s\n", count,
                errors.substr(0, errors.find('\n')).c_str());
  }
  const bool ok = storedOk && rssOk && fdsOk && threadsOk && idleOk && exitOk;
  std::printf("soak: %s\n", Verdict(ok));
  return ok ? 0 : 1;
}
