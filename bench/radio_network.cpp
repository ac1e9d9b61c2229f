// Benchmark of the radio network: `quillon /headless` runs a network of 8 satellites with 16
// terminals each (quillon-sim satellites, writing no faster than the baud rate) and stores every
// record; records per second at 9600 and 115200 baud against the limit of the line in the same
// run. A relay inside this process sits between two pseudo-terminal pairs (quillon on one, the
// simulator on the other), copies both ways, counts every byte and every command, and lets the
// PC's bytes through no faster than the baud rate either, so both directions take their wire
// time. The references:
//   - the wire: every byte on the line in both directions at baud/10 bytes per second;
//   - the wire plus the pauses the frame protocol prescribes before each command (the command
//     pause, the longer one around switching polling and before a delivery question, the settle
//     time of a configuration), counted from the commands quillon actually sent;
//   - the same against the window less the time the bytes took beyond their wire time in the
//     simulator and the relay: what is left beyond wire and pauses is quillon's own time.
// The window starts with the second round of the poll cycle, after the start-up, and ends when
// the last record is stored.
// Then the idle cost: the network running with nothing to send, CPU of quillon per wall second
// against the simulator answering the same traffic and against quillon idle on a block port.
//
// The terminal numbers of a network end at 100, so the 8 x 16 terminals are 64 terminals heard
// by two satellites each, one in each of the two groups (which is why neighbouring satellites
// are put in different groups); each satellite relays 16 terminals.
//
// Usage: bench_radio_network [seconds per run] [idle seconds] [lines per terminal and window]
//                            [baud rates, e.g. 9600,115200]
//        QUILLON_BENCH_RADIO_DEBUG=1 turns the line debug file and the terminals' debug files on.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "support/child_process.h"
#include "support/pty_pair.h"
#include "support/station.h"

using namespace quillon;

namespace {

using Steady = std::chrono::steady_clock;

const std::string kBin = QUILLON_BIN_DIR;
constexpr int kSatellites = 8;
constexpr int kTermsPerSatellite = 16;
constexpr int kTerminals = kSatellites / 2 * kTermsPerSatellite;
constexpr int kFirstSatellite = 101;  // its address byte
constexpr int kSatCmdDelayMs = 70;
constexpr int kOnlineOfflineDelayMs = 130;
constexpr int kSettleMs = 2000;        // after "6", before the configuration
constexpr int kStartWaitMs = 60000;    // initialisation: a 2 s settle per satellite
constexpr int kRoundsWaitMs = 180000;  // the first round, where satellites are initialised again
constexpr int kStallMs = 60000;        // no new record for so long: the run failed
constexpr double kThroughputGoal = 0.90;
constexpr double kIdleGoalPercent = 1.0;
// Records a run moves per second and line per terminal and window, roughly, to size the records
// for the wanted duration. At 9600 baud most of the time goes to initialising satellites again.
constexpr double kExpectedRate9600 = 1.3;
constexpr double kExpectedRate115200 = 15;

constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr char kAck = 0x06;
constexpr char kEsc = 0x1B;

double Seconds(Steady::duration d) { return std::chrono::duration<double>(d).count(); }

timespec Until(Steady::time_point due) {
  const auto left = std::max(due - Steady::now(), Steady::duration::zero());
  const long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
  return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

bool WriteAll(int fd, const char* bytes, size_t count) {
  while (count > 0) {
    const ssize_t n = write(fd, bytes, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

// One command of the PC as it went over the line, or a raw ACK (command "ACK").
struct Frame {
  Steady::time_point at;     // when its last byte left the PC
  Steady::duration quiet{};  // the line was silent both ways for so long before it
  std::string command;
  int address = -1;    // the address byte
  uint64_t bytes = 0;  // on the line both ways so far
};

// Copies between the PC's line and the simulator's, counting the bytes both ways and noting
// every command the PC sends. The PC's bytes reach the simulator when the last of them would
// have arrived at the baud rate (a frame is only read whole anyway); the simulator paces its
// own.
class CountingRelay {
 public:
  CountingRelay(int pc, int sim, int baud)
      : pc_(pc), sim_(sim), byteTime_(std::chrono::nanoseconds(10'000'000'000LL / baud)) {
    if (pipe2(stop_, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    thread_ = std::thread([this] { Run(); });
  }
  ~CountingRelay() {
    (void)write(stop_[1], "x", 1);
    thread_.join();
    close(stop_[0]);
    close(stop_[1]);
  }
  CountingRelay(const CountingRelay&) = delete;
  CountingRelay& operator=(const CountingRelay&) = delete;

  uint64_t Bytes() const { return toSim_.load() + toPc_.load(); }
  std::vector<Frame> Frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
  }
  // How often the first satellite has been switched on: rounds of the poll cycle begun.
  int Rounds() const { return rounds_.load(); }
  // The first "3"/"3$": the poll cycle has started. The bytes on the line until then.
  bool CycleStarted(Steady::time_point& at, uint64_t& bytes) const {
    std::lock_guard lock(mutex_);
    at = cycleAt_;
    bytes = bytesAtCycle_;
    return cycleSeen_;
  }

 private:
  void Run() {
    std::deque<std::pair<Steady::time_point, std::string>> pending;
    Steady::time_point lineFree{};
    int fds[2] = {pc_, sim_};
    char buffer[4096];
    for (;;) {
      pollfd p[3] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}, {stop_[0], POLLIN, 0}};
      timespec left{};
      if (!pending.empty()) left = Until(pending.front().first);
      const int r = ppoll(p, 3, pending.empty() ? nullptr : &left, nullptr);
      if (r < 0 && errno != EINTR) return;
      if (p[2].revents != 0) return;
      for (int i = 0; i < 2 && r > 0; ++i) {
        if (p[i].revents == 0) continue;
        const ssize_t n = (p[i].revents & POLLIN) ? read(fds[i], buffer, sizeof buffer) : 0;
        if (n <= 0) {
          fds[i] = -1;  // that side is gone; ppoll ignores it from now on
          continue;
        }
        const auto count = static_cast<size_t>(n);
        if (i == 0) {
          toSim_ += count;
          Note(buffer, count);
          lineFree = std::max(lineFree, Steady::now()) + byteTime_ * static_cast<long>(count);
          pending.emplace_back(lineFree, std::string(buffer, count));
        } else {
          toPc_ += count;
          lastActivity_ = Steady::now();
          (void)WriteAll(pc_, buffer, count);
        }
      }
      while (!pending.empty() && pending.front().first <= Steady::now()) {
        (void)WriteAll(sim_, pending.front().second.data(), pending.front().second.size());
        pending.pop_front();
      }
    }
  }

  // Picks the commands out of the PC's bytes: STX, address, ESC, command, ESC, ETX, two
  // checksum digits, CR. Raw ACKs between frames are no commands.
  void Note(const char* bytes, size_t count) {
    const auto now = Steady::now();
    for (size_t i = 0; i < count; ++i) {
      const char c = bytes[i];
      if (frame_.empty() && c == kAck) {
        std::lock_guard lock(mutex_);
        frames_.push_back({now, now - lastActivity_, "ACK", -1, toSim_ + toPc_});
        continue;
      }
      if (frame_.empty() && c != kStx) continue;
      if (frame_.empty()) quiet_ = now - lastActivity_;
      frame_ += c;
      const size_t end = frame_.find(std::string{kEsc, kEtx});
      if (end == std::string::npos || frame_.size() < end + 5) continue;
      std::lock_guard lock(mutex_);
      frames_.push_back({now, quiet_, frame_.size() > 3 ? frame_.substr(3, end - 3) : std::string(),
                         static_cast<unsigned char>(frame_[1]), toSim_ + toPc_});
      const std::string& command = frames_.back().command;
      if (command == "3$" && frames_.back().address == kFirstSatellite) ++rounds_;
      if (!cycleSeen_ && (command == "3" || command == "3$")) {
        cycleSeen_ = true;
        cycleAt_ = now;
        bytesAtCycle_ = toSim_.load() + toPc_.load();
      }
      frame_.clear();
    }
    lastActivity_ = now;
  }

  int pc_;
  int sim_;
  Steady::duration byteTime_;
  int stop_[2] = {-1, -1};
  std::atomic<uint64_t> toSim_{0};
  std::atomic<uint64_t> toPc_{0};
  std::string frame_;
  Steady::time_point lastActivity_{};
  Steady::duration quiet_{};
  mutable std::mutex mutex_;
  std::vector<Frame> frames_;
  std::atomic<int> rounds_{0};
  bool cycleSeen_ = false;
  Steady::time_point cycleAt_{};
  uint64_t bytesAtCycle_ = 0;
  std::thread thread_;
};

bool Is(const std::string& command, std::initializer_list<const char*> any) {
  for (const char* c : any) {
    if (command == c) return true;
  }
  return false;
}

// The pause the frame protocol prescribes before `command`, sent after `previous`.
int PrescribedPauseMs(const std::string& previous, const std::string& command) {
  int pause = kSatCmdDelayMs;
  if (Is(previous, {"3", "3$"})) pause = kOnlineOfflineDelayMs;
  // "W", the terminal's byte and a record of more than 10 characters.
  if (!previous.empty() && previous[0] == 'W' && previous.size() > 12) {
    pause = kOnlineOfflineDelayMs;
  }
  if (previous == "6") pause = std::max(pause, kSettleMs);
  if (Is(command, {"4", "4$"})) pause = kOnlineOfflineDelayMs;
  if (!command.empty() && command[0] == 'D') pause = 2 * kOnlineOfflineDelayMs;
  return pause;
}

// Satellites 1 to 4 form group A, 5 to 8 group B; satellite n and n + 4 relay the same terminals.
int FirstTerminal(int sat) { return (sat - 1) % (kSatellites / 2) * kTermsPerSatellite + 1; }
int LastTerminal(int sat) { return FirstTerminal(sat) + kTermsPerSatellite - 1; }

std::string NetworkFile(bool debug) {
  std::string ini = "[Satelliten]\r\n";
  for (int sat = 1; sat <= kSatellites; ++sat) {
    ini += std::to_string(sat) + "=Sat" + std::to_string(sat) + "," +
           std::to_string(FirstTerminal(sat)) + "," + std::to_string(LastTerminal(sat)) + "\r\n";
  }
  ini += "[Gruppen]\r\nA=1,2,3,4\r\nB=5,6,7,8\r\n[Optionen]\r\n";
  ini += "Min. Pause zwischen Sat-Befehlen=" + std::to_string(kSatCmdDelayMs) + "\r\n";
  ini += "Min. Pause zwischen Sat-Statuswechsel=" + std::to_string(kOnlineOfflineDelayMs) + "\r\n";
  ini += debug ? "Debuglevel=1\r\nDebug=1\r\n" : "Debuglevel=0\r\nDebug=0\r\n";
  return ini;
}

// quillon on one line, the simulated network on the other, the relay between them.
class RadioRig {
 public:
  static constexpr const char* kTarget = "funk.dat";

  bool Start(int baud, long records, int burst, bool debug) {
    std::vector<std::string> args = {
        kBin + "/quillon-sim", "satellites", "--device", simLine_.path(), "--baud",
        std::to_string(baud),  "--pace"};
    for (int sat = 1; sat <= kSatellites; ++sat) {
      args.push_back("--sat");
      args.push_back(std::to_string(sat) + ",terms=" + std::to_string(FirstTerminal(sat)) + "-" +
                     std::to_string(LastTerminal(sat)));
    }
    for (const std::string& a :
         {std::string("--records"), std::to_string(records), std::string("--burst"),
          std::to_string(burst), std::string("--term-id"), std::string("--counter")}) {
      args.push_back(a);
    }
    // The simulator first: it empties its line when it opens it.
    if (!sim.Start(args, station.dir.path()) || !sim.WaitForOutput("LINE ", 10000)) {
      std::fprintf(stderr, "simulator did not start: %s\n", sim.err().c_str());
      return false;
    }
    relay = std::make_unique<CountingRelay>(pcLine_.master(), simLine_.master(), baud);
    test::WriteBytes(station.dir.File("Tembra_COM1.ini"), NetworkFile(debug));
    station.RemapOnly(1, pcLine_.path());
    station.Port(1, {{"Schnittstellenparameter f\xFCr COM%d:|Baudrate", std::to_string(baud)},
                     {test::Key(test::kS2, "Protokoll"), "1"},
                     {test::Key(test::kS3, "Dateiname"), station.dir.File(kTarget)},
                     {test::Key(test::kS3, "Dateimodus"), "1"}});
    return station.StartReceiver();
  }

  // Reads what both programs print, so that neither blocks on a full pipe; waits `ms`.
  void Pump(int ms) {
    (void)sim.WaitForOutput("\x01", 1);
    (void)station.receiver.WaitForOutput("\x01", ms);
  }

  // False, with what the line saw, when it did not start in time.
  bool WaitCycleStarted(Steady::time_point& at, uint64_t& bytes) {
    const auto end = Steady::now() + std::chrono::milliseconds(kStartWaitMs);
    while (!relay->CycleStarted(at, bytes)) {
      if (Steady::now() >= end) {
        std::map<std::string, int> seen;
        for (const Frame& f : relay->Frames()) ++seen[f.command.substr(0, 1)];
        std::string mix;
        for (const auto& [c, n] : seen) mix += " " + c + ":" + std::to_string(n);
        std::fprintf(stderr, "the poll cycle did not start; commands sent%s; the simulator:\n%s",
                     mix.c_str(), Stop().c_str());
        return false;
      }
      Pump(20);
    }
    return true;
  }

  // Ends quillon (which stops the satellites' polling), then the simulator; its summary.
  std::string Stop() {
    if (!relay) return sim.out();
    (void)station.StopReceiver();
    relay.reset();
    sim.Signal(SIGTERM);
    (void)sim.Wait(10000);
    return sim.out();
  }

 private:
  test::PtyPair pcLine_;
  test::PtyPair simLine_;

 public:
  test::ChildProcess sim;
  std::unique_ptr<CountingRelay> relay;
  test::Station station;  // last: quillon ends first, while its line still answers
};

// Lines appended to a file, counted as the file grows.
class LineCounter {
 public:
  explicit LineCounter(std::string path) : path_(std::move(path)) {}
  long Count() {
    struct stat st {};
    if (stat(path_.c_str(), &st) != 0 || st.st_size == offset_) return lines_;
    std::ifstream in(path_, std::ios::binary);
    in.seekg(offset_);
    const std::string added((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    offset_ += static_cast<off_t>(added.size());
    lines_ += std::count(added.begin(), added.end(), '\n');
    return lines_;
  }

 private:
  std::string path_;
  off_t offset_ = 0;
  long lines_ = 0;
};

// Every record "T<terminal>R<n>" of every terminal stored once, nothing else stored.
bool StoredExactlyOnce(const std::string& path, long records, std::string& problem) {
  std::ifstream in(path, std::ios::binary);
  std::map<std::string, int> seen;
  long others = 0;
  std::string example;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // Terminal number and counter in front: "NNNCC".
    if (line.size() > 5 && line[5] == 'T') {
      ++seen[line.substr(5)];
    } else {
      ++others;
      if (example.empty()) example = line;
    }
  }
  long missing = 0, twice = 0;
  char key[32];
  for (int t = 1; t <= kTerminals; ++t) {
    for (long n = 1; n <= records; ++n) {
      std::snprintf(key, sizeof key, "T%03dR%ld", t, n);
      const auto it = seen.find(key);
      if (it == seen.end()) {
        ++missing;
      } else {
        twice += it->second - 1;
        seen.erase(it);
      }
    }
  }
  others += static_cast<long>(seen.size());
  if (missing == 0 && twice == 0 && others == 0) return true;
  problem = std::to_string(missing) + " missing, " + std::to_string(twice) + " more than once, " +
            std::to_string(others) + " unexpected" +
            (example.empty() ? "" : " (\"" + example + "\")");
  return false;
}

struct Throughput {
  long records = 0;    // stored in the window
  double startup = 0;  // s, from the first activation to the window
  double elapsed = 0;  // s, the window: from the second activation of group A on to the last
                       // record stored
  double wire = 0;     // s, the window's bytes at baud/10
  double pauses = 0;   // s, the prescribed pauses before the window's commands
  double quiet = 0;    // s, the line silent both ways before the window's commands
  uint64_t bytes = 0;
  std::map<std::string, int> commands;
  std::map<std::string, double> beyond;  // s the line stood silent beyond the pause, by command
  double cpuPercent = 0;                 // quillon, of one core, from the first activation on
};

// The commands with a terminal's byte or settings in them go by their letter.
std::string KindOf(const std::string& command) {
  return !command.empty() && std::string("DOC2WL").find(command[0]) != std::string::npos
             ? command.substr(0, 1)
             : command;
}

// Adds up the window's commands, their prescribed pauses and the silence before them.
void CountCommands(const std::vector<Frame>& frames, Steady::time_point from, Steady::time_point to,
                   Throughput& t) {
  std::string previous;
  for (const Frame& f : frames) {
    const std::string& c = f.command;
    const bool rawAck = c == "ACK";
    if (f.at > from && f.at <= to) {
      const double pause = rawAck ? 0 : PrescribedPauseMs(previous, c) / 1000.0;
      const std::string kind = KindOf(c);
      ++t.commands[kind];
      t.pauses += pause;
      t.quiet += Seconds(f.quiet);
      // The line stood silent beyond the pause: the PC's own time before the command.
      t.beyond[kind] += Seconds(f.quiet) - pause;
    }
    if (!rawAck) previous = c;
  }
}

bool MeasureThroughput(int baud, long perTerminal, int burst, bool debug, Throughput& t) {
  RadioRig rig;
  if (!rig.Start(baud, perTerminal, burst, debug)) return false;
  Steady::time_point cycle;
  uint64_t bytesAtCycle = 0;
  if (!rig.WaitCycleStarted(cycle, bytesAtCycle)) return false;
  const double cpuBefore = bench::ProcessCpuSeconds(rig.station.receiver.pid());
  const long expected = perTerminal * kTerminals;
  LineCounter stored(rig.station.dir.File(RadioRig::kTarget));
  std::vector<std::pair<Steady::time_point, long>> samples;  // records stored by then
  for (auto progress = Steady::now();;) {
    samples.emplace_back(Steady::now(), stored.Count());
    if (samples.back().second >= expected) break;
    if (samples.size() > 1 && samples.back().second != samples[samples.size() - 2].second) {
      progress = Steady::now();
    }
    if (Steady::now() - progress > std::chrono::milliseconds(kStallMs)) break;
    rig.Pump(10);
  }
  const auto end = samples.back().first;
  const long count = samples.back().second;
  const uint64_t bytesAtEnd = rig.relay->Bytes();
  t.cpuPercent = (bench::ProcessCpuSeconds(rig.station.receiver.pid()) - cpuBefore) /
                 Seconds(end - cycle) * 100;
  const std::vector<Frame> frames = rig.relay->Frames();
  const std::string summary = rig.Stop();
  // The window leaves out the first round of both groups: every satellite whose contact lapsed
  // while the others were initialised is initialised again in it.
  auto from = std::find_if(frames.begin(), frames.end(), [seen = 0](const Frame& f) mutable {
    return f.command == "3$" && f.address == kFirstSatellite && ++seen == 2;
  });
  Steady::time_point start = cycle;
  uint64_t bytesAtStart = bytesAtCycle;
  long recordsAtStart = 0;
  if (from != frames.end() && from->at < end) {
    start = from->at;
    bytesAtStart = from->bytes;
    for (const auto& [at, records] : samples) {
      if (at <= start) recordsAtStart = records;
    }
  }
  t.startup = Seconds(start - cycle);
  t.elapsed = Seconds(end - start);
  t.records = count - recordsAtStart;
  t.bytes = bytesAtEnd - bytesAtStart;
  t.wire = static_cast<double>(t.bytes) * 10.0 / baud;
  CountCommands(frames, start, end, t);
  std::string problem;
  if (count < expected) {
    std::fprintf(stderr, "%d baud: only %ld of %ld records stored\n%s\n", baud, count, expected,
                 summary.c_str());
    return false;
  }
  if (!StoredExactlyOnce(rig.station.dir.File(RadioRig::kTarget), perTerminal, problem)) {
    std::fprintf(stderr, "%d baud: records not stored exactly once: %s\n", baud, problem.c_str());
    return false;
  }
  return t.records > 0;
}

bool ReportThroughput(int baud, long perTerminal, int burst, bool debug) {
  Throughput t;
  if (!MeasureThroughput(baud, perTerminal, burst, debug, t)) return false;
  const double rate = t.records / t.elapsed;
  const double wireRate = t.records / t.wire;
  const double pacedRate = t.records / (t.wire + t.pauses);
  const double wireRatio = rate / wireRate;
  const double pacedRatio = rate / pacedRate;
  std::string mix;
  for (const auto& [command, n] : t.commands) mix += " " + command + ":" + std::to_string(n);
  std::string silent;
  double ours = 0;
  for (const auto& [command, s] : t.beyond) {
    char part[64];
    std::snprintf(part, sizeof part, " %s:%.2f", command.c_str(), s);
    silent += part;
    ours += s;
  }
  // The rest of the window the line was busy: bytes slower than their wire time, which is the
  // simulator's paced writing and the relay, not quillon.
  const double rig = t.elapsed - t.quiet - t.wire;
  const double ownRatio = (t.wire + t.pauses) / (t.elapsed - rig);
  std::printf(
      "%6d baud: all %ld records (%d terminals x %ld, %d per terminal and window) stored "
      "once; start-up %.1f s, then %ld records in %.1f s, %llu bytes on the line, wire "
      "%.1f s, prescribed pauses %.1f s, quillon %.1f %% of a core; commands%s\n",
      baud, perTerminal * kTerminals, kTerminals, perTerminal, burst, t.startup, t.records,
      t.elapsed, static_cast<unsigned long long>(t.bytes), t.wire, t.pauses, t.cpuPercent,
      mix.c_str());
  std::printf(
      "%6d baud: %.1f records/s against the wire limit %.1f records/s: ratio %.2f "
      "(goal >= %.2f) %s\n",
      baud, rate, wireRate, wireRatio, kThroughputGoal,
      wireRatio >= kThroughputGoal ? "OK" : "MISSED");
  std::printf(
      "%6d baud: %.1f records/s against wire + prescribed pauses %.1f records/s: ratio "
      "%.2f (goal >= %.2f) %s\n",
      baud, rate, pacedRate, pacedRatio, kThroughputGoal,
      pacedRatio >= kThroughputGoal ? "OK" : "MISSED");
  std::printf(
      "%6d baud: quillon's own share: wire + prescribed pauses against the window less "
      "the %.2f s the bytes took beyond their wire time in the simulator and relay: ratio "
      "%.2f (goal >= %.2f) %s; silent beyond the pauses %.2f s, before%s\n",
      baud, rig, ownRatio, kThroughputGoal, ownRatio >= kThroughputGoal ? "OK" : "MISSED", ours,
      silent.c_str());
  std::fflush(stdout);
  return ownRatio >= kThroughputGoal;
}

// CPU of quillon and of the simulator while the network runs with nothing to send.
struct Idle {
  double quillon = -1;  // % of one core
  double sim = -1;
  double block = -1;  // quillon on a block port
  double commandsPerSecond = 0;
  std::string commands;  // the mix
};

bool MeasureIdleNetwork(int seconds, Idle& idle) {
  RadioRig rig;
  if (!rig.Start(9600, 0, 1, false)) return false;
  Steady::time_point cycle;
  uint64_t bytes = 0;
  if (!rig.WaitCycleStarted(cycle, bytes)) return false;
  // After the first round, in which the satellites are initialised again.
  for (const auto end = Steady::now() + std::chrono::milliseconds(kRoundsWaitMs);
       rig.relay->Rounds() < 2;) {
    if (Steady::now() >= end) return false;
    rig.Pump(20);
  }
  const double q0 = bench::ProcessCpuSeconds(rig.station.receiver.pid());
  const double s0 = bench::ProcessCpuSeconds(rig.sim.pid());
  const auto start = Steady::now();
  while (Steady::now() - start < std::chrono::seconds(seconds)) rig.Pump(100);
  const auto end = Steady::now();
  const double wall = Seconds(end - start);
  idle.quillon = (bench::ProcessCpuSeconds(rig.station.receiver.pid()) - q0) / wall * 100;
  idle.sim = (bench::ProcessCpuSeconds(rig.sim.pid()) - s0) / wall * 100;
  std::map<std::string, int> mix;
  int count = 0;
  for (const Frame& f : rig.relay->Frames()) {
    if (f.at <= start || f.at > end) continue;
    ++mix[KindOf(f.command)];
    ++count;
  }
  for (const auto& [command, n] : mix) idle.commands += " " + command + ":" + std::to_string(n);
  idle.commandsPerSecond = count / wall;
  rig.Stop();
  return q0 >= 0 && s0 >= 0;
}

// CPU of quillon waiting on a block-protocol port where nothing arrives.
bool MeasureIdleBlockPort(int seconds, Idle& idle) {
  test::PtyPair line;
  test::Station station;
  station.RemapOnly(1, line.path());
  station.Port(1);
  if (!station.StartReceiver()) return false;
  (void)station.receiver.WaitForOutput("\x01", 2000);
  const double before = bench::ProcessCpuSeconds(station.receiver.pid());
  const auto start = Steady::now();
  while (Steady::now() - start < std::chrono::seconds(seconds)) {
    (void)station.receiver.WaitForOutput("\x01", 100);
  }
  idle.block = (bench::ProcessCpuSeconds(station.receiver.pid()) - before) /
               Seconds(Steady::now() - start) * 100;
  (void)station.StopReceiver();
  return before >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  const double runSeconds = argc > 1 ? std::max(std::atof(argv[1]), 1.0) : 30;
  const int idleSeconds = argc > 2 ? std::max(std::atoi(argv[2]), 1) : 20;
  const int burst = argc > 3 ? std::max(std::atoi(argv[3]), 1) : 4;
  const char* debugEnv = std::getenv("QUILLON_BENCH_RADIO_DEBUG");
  const bool debug = debugEnv != nullptr && std::string(debugEnv) == "1";
  bool ok = true;
  std::vector<int> rates;
  std::istringstream list(argc > 4 ? argv[4] : "9600,115200");
  for (std::string rate; std::getline(list, rate, ',');) {
    if (std::atoi(rate.c_str()) > 0) rates.push_back(std::atoi(rate.c_str()));
  }
  for (const int baud : rates) {
    const double rate = baud <= 9600 ? kExpectedRate9600 : kExpectedRate115200;
    // The first round of both groups takes two windows' lines of every terminal.
    const long perTerminal =
        2L * burst + std::max(1L, std::lround(runSeconds * rate * burst / kTerminals));
    if (!ReportThroughput(baud, perTerminal, burst, debug)) ok = false;
  }
  Idle idle;
  if (!MeasureIdleNetwork(idleSeconds, idle) || !MeasureIdleBlockPort(idleSeconds, idle)) {
    std::fprintf(stderr, "idle measurement failed\n");
    return 1;
  }
  const bool idleOk = idle.quillon < kIdleGoalPercent;
  std::printf(
      "idle network (8 satellites, nothing to send, 9600 baud) over %d s: quillon %.3f %% "
      "of a core (goal < %.1f %%) %s; the simulator answering the same traffic %.3f %%; "
      "quillon idle on a block port %.3f %%; %.1f commands/s:%s\n",
      idleSeconds, idle.quillon, kIdleGoalPercent, idleOk ? "OK" : "MISSED", idle.sim, idle.block,
      idle.commandsPerSecond, idle.commands.c_str());
  return ok && idleOk ? 0 : 1;
}
