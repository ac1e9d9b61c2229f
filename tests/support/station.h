#pragma once
// One installation of the receiver (`quillon /headless` copied into a temporary directory) with
// simulated terminals on pseudo-terminal lines, as the reception tests drive it.
#include <signal.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace quillon::test {

inline constexpr int kWaitMs = 20000;
inline const std::string kBin = QUILLON_BIN_DIR;

// One installation of the receiver with simulated terminals on some of its ports.
class Station {
 public:
  using Keys = std::map<std::string, std::string>;  // "Section|Key" -> value

  Station() { std::filesystem::copy_file(kBin + "/quillon", dir.File("quillon")); }
  ~Station() {
    if (running_) {
      receiver.Signal(SIGTERM);
      receiver.Wait(kWaitMs);
    }
  }

  // A terminal on COM`port` running the simulator with `args`; returns false when it failed. A
  // second terminal on the same port replaces the first and its line.
  bool Terminal(int port, const std::vector<std::string>& args) {
    auto sim = std::make_unique<ChildProcess>();
    // The mode word ("modem", "satellites") comes first.
    std::vector<std::string> argv = {kBin + "/quillon-sim"};
    const bool mode = !args.empty() && (args.front() == "modem" || args.front() == "satellites");
    if (mode) argv.push_back(args.front());
    argv.push_back("--pty");
    argv.insert(argv.end(), args.begin() + (mode ? 1 : 0), args.end());
    if (!sim->Start(argv, dir.path()) || !sim->WaitForOutput("\n", kWaitMs)) return false;
    const std::string& out = sim->out();
    if (out.rfind("LINE ", 0) != 0) return false;
    lines_[port] = out.substr(5, out.find('\n') - 5);
    sims[port] = std::move(sim);
    return true;
  }

  // Points all ports' lines anew: COM`port` at `device`, the others nowhere. A pseudo-terminal
  // whose simulator has ended may already belong to another test, so a later run must not use it.
  void RemapOnly(int port, const std::string& device) {
    lines_.clear();
    lines_[port] = device;
  }

  // Port settings: every port named here is active; `keys` adds "Section|Key" values with the
  // port number put in for "%d".
  void Port(int port, const Keys& keys = {}) {
    std::string ini;
    auto section = [&](const std::string& name) {
      std::string s = name;
      const auto pos = s.find("%d");
      if (pos != std::string::npos) s.replace(pos, 2, std::to_string(port));
      return s;
    };
    std::map<std::string, std::string> sections;
    sections[section("Schnittstellenparameter f\xFCr COM%d:")] += "Aktiviert=1\r\n";
    for (const auto& [where, value] : keys) {
      const auto bar = where.find('|');
      sections[section(where.substr(0, bar))] += where.substr(bar + 1) + "=" + value + "\r\n";
    }
    for (const auto& [name, body] : sections) ini_ += "[" + name + "]\r\n" + body;
  }

  bool StartReceiver(const std::vector<std::string>& extraArgs = {}) {
    std::string remap = "[Remap]\r\n";
    for (const auto& [port, line] : lines_) {
      remap += "COM" + std::to_string(port) + "=" + line + "\r\n";
    }
    WriteBytes(dir.File("ComRemap.ini"), remap);
    WriteBytes(dir.File("quillon.ini"), ini_);
    std::vector<std::string> argv = {dir.File("quillon"), "/headless"};
    argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
    running_ =
        receiver.Start(argv, dir.path(), {"XDG_RUNTIME_DIR=" + dir.path(), "HOME=" + dir.path()});
    return running_;
  }

  // The device of a port's line (a pseudo-terminal's side that the receiver opens).
  const std::string& Line(int port) { return lines_[port]; }

  // Waits for a terminal to finish its actions; its exit code.
  int TerminalDone(int port) { return sims[port]->Wait(kWaitMs); }

  int StopReceiver() {
    receiver.Signal(SIGTERM);
    running_ = false;
    return receiver.Wait(kWaitMs);
  }

  TempDir dir;
  ChildProcess receiver;
  std::map<int, std::unique_ptr<ChildProcess>> sims;

 private:
  std::map<int, std::string> lines_;  // port -> device of its line
  std::string ini_;
  bool running_ = false;
};

inline constexpr const char* kS2 = "Datenparameter f\xFCr COM%d:";
inline constexpr const char* kS3 = "Dateienparameter f\xFCr COM%d:";
inline constexpr const char* kS4 = "Verarbeitung f\xFCr COM%d:";
inline constexpr const char* kS5 = "Pollingparameter f\xFCr COM%d:";
inline constexpr const char* kS6 = "Modemparameter f\xFCr COM%d:";
inline constexpr const char* kS8 = "Optionen f\xFCr COM%d:";

inline std::string Key(const char* section, const char* key) {
  return std::string(section) + "|" + key;
}

}  // namespace quillon::test
