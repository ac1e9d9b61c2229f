// quillon-sim: plays the handheld terminal on the far side of a serial line for the receiver's
// integration tests, benchmarks and demo, directly or behind an answering modem ("modem"), and
// the terminal that the uploader loads an application into ("uploader"), and the satellites and
// stationary terminals of a radio network ("satellites"). It
// knows the wire format on its own and shares no code with the receiver, so a fault in one is not
// mirrored by the other.
//
// Without actions (and not in modem mode) it only holds the line, draining what the receiver
// writes, until SIGTERM or SIGINT.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "faults.h"
#include "line.h"
#include "modem.h"
#include "options.h"
#include "output.h"
#include "satellites.h"
#include "session.h"
#include "stop.h"
#include "terminal.h"
#include "turnaround.h"
#include "uploader.h"

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
// How long the line stays open after the last action for the last answer to be read: until
// the other side has read it, at most kLingerLimitMs; kLingerBlindMs where that cannot be seen.
constexpr int kLingerLimitMs = 10000;
constexpr int kLingerBlindMs = 500;

bool ReadWholeFile(const std::string& path, std::string& content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// The path alone, for scripts that wait for the file: written to a temporary name first so a
// reader never sees half of it.
bool WritePathFile(const std::string& file, const std::string& linePath) {
  const std::string tmp = file + ".tmp";
  {
    std::ofstream out(tmp, std::ios::trunc);
    out << linePath << "\n";
    if (!out.flush()) return false;
  }
  return std::rename(tmp.c_str(), file.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  // The radio network speaks a protocol of its own, with options of its own.
  if (argc > 1 && std::string(argv[1]) == "satellites") return sim::RunSatellites(argc, argv);
  if (argc > 1 && std::string(argv[1]) == "--version") {
    std::fputs("quillon-sim " QUILLON_VERSION "\n", stdout);
    return kOk;
  }
  sim::Options options;
  std::string error;
  if (!sim::ParseOptions(argc, argv, options, error)) {
    sim::Complain(error + " (--help zeigt die Optionen)");
    return kUsage;
  }
  if (options.help) {
    std::fputs(sim::HelpText(), stdout);
    return kOk;
  }
  std::string sendContent;
  if (!options.sendFile.empty() && !ReadWholeFile(options.sendFile, sendContent)) {
    sim::Complain("Datei " + options.sendFile + " kann nicht gelesen werden");
    return kFailed;
  }

  sim::InstallStopSignals();
  sim::Line line;
  const bool opened =
      options.pty ? line.OpenPty(error) : line.OpenDevice(options.device, options.baud, error);
  if (!opened) {
    sim::Complain(error);
    return kFailed;
  }
  // The file first: whoever reads the path from stdout finds the file in place as well.
  if (!options.printPath.empty() && !WritePathFile(options.printPath, line.path())) {
    sim::Complain("Datei " + options.printPath + " kann nicht geschrieben werden");
    return kFailed;
  }
  sim::Say("LINE " + line.path());

  const bool modem = options.mode == sim::Mode::kModem;
  const bool uploader = options.mode == sim::Mode::kUploader;
  if (modem || uploader || options.HasActions()) {
    const sim::Io io = line.WaitForPeer(options.openTimeoutMs);
    if (io != sim::Io::kOk) {
      sim::Complain(io == sim::Io::kTimeout
                        ? "Die Leitung wurde nicht innerhalb von " +
                              std::to_string(options.openTimeoutMs) + " ms geöffnet"
                        : sim::Describe(io));
      return kFailed;
    }
    sim::FaultPlan faults(options.faultRate, options.faultKinds, options.seed);
    sim::Turnaround turnaround;
    sim::Session session{line, options, faults, turnaround, {}};
    const bool done = uploader ? sim::RunUploaderTarget(session)
                      : modem  ? sim::RunModem(session, sendContent)
                               : sim::RunTerminal(session, sendContent);
    if (!options.stay || !done) line.Linger(kLingerLimitMs, kLingerBlindMs);
    if (options.faultsWanted) sim::Say("FAULTS " + std::to_string(faults.count()));
    if (options.stats) sim::Say(turnaround.Summary());
    if (!done) {
      sim::Complain(session.error);
      return kFailed;
    }
  }
  if ((!modem && !uploader && !options.HasActions()) || options.stay) line.Hold();
  return kOk;
}
