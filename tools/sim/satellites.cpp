#include "satellites.h"

#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "output.h"
#include "quorbus_wire.h"
#include "sat_network.h"
#include "sat_options.h"
#include "sat_report.h"
#include "stop.h"

namespace sim {
namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kWriteTimeoutMs = 5000;

// Writes to the line, with --pace no faster than the baud rate allows (10 bits a byte).
class PacedWriter {
 public:
  PacedWriter(Line& line, bool pace, int baud)
      : line_(line), pace_(pace), byteTime_(std::chrono::microseconds(10000000LL / baud)) {}

  Io Write(const std::string& bytes) {
    if (!pace_) return line_.Write(bytes, kWriteTimeoutMs);
    for (const char c : bytes) {
      if (!SleepUntil(lineFree_)) return Io::kStopped;
      const Io io = line_.Write(std::string_view(&c, 1), kWriteTimeoutMs);
      if (io != Io::kOk) return io;
      lineFree_ = std::max(lineFree_, Clock::now()) + byteTime_;
    }
    return Io::kOk;
  }

 private:
  // False when a stop signal came first.
  static bool SleepUntil(Clock::time_point when) {
    const auto left = when - Clock::now();
    if (left > Clock::duration::zero()) {
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      const timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
      ppoll(nullptr, 0, &ts, WaitMask());
    }
    return !StopRequested();
  }

  Line& line_;
  bool pace_;
  Clock::duration byteTime_;
  Clock::time_point lineFree_{};
};

// A read of stored data in progress: the replies still to go out, one per raw ACK.
struct StoredRead {
  Station* station = nullptr;
  std::uint8_t address = 0;
  std::vector<std::string> replies;
  std::size_t dataFrom = 0;
  std::size_t next = 0;
};

class Conversation {
 public:
  Conversation(Line& line, const SatOptions& options, SatNetwork& network, SatReport& report)
      : reader_(line), writer_(line, options.pace, options.baud), network_(network),
        report_(report) {}

  // Answers requests until the line ends; returns why it ended.
  Io Run() {
    for (;;) {
      quorbus::Request request;
      Io io = reader_.Next(request);
      if (io == Io::kOk) io = Take(request);
      if (io != Io::kOk) return io;
    }
  }

 private:
  Io Take(const quorbus::Request& request) {
    using Kind = quorbus::Request::Kind;
    if (request.kind == Kind::kRawAck) {
      report_.Log("RAWACK");
      return read_.station != nullptr ? SendNextStored() : Io::kOk;
    }
    // Any frame, even a bad one, means the PC has given up the read in progress.
    read_ = StoredRead{};
    if (request.kind == Kind::kBad) {
      report_.Log("BAD " + request.fault);
      return Io::kOk;
    }
    report_.Log("RX " + std::to_string(request.address) + " " + LogText(request.text));
    Station* station = network_.Find(request.address);
    if (station == nullptr) {
      report_.Log("UNKNOWN " + std::to_string(request.address));
      return Io::kOk;
    }
    if (!network_.Answers(*station)) {
      report_.Log("SILENT " + station->Label());
      return Io::kOk;
    }
    if (request.text == "0*") {
      read_.station = station;
      read_.address = request.address;
      read_.replies = network_.StartRead(*station, read_.dataFrom);
      return SendNextStored();
    }
    return Send(*station, request.address, network_.Handle(*station, request.text), true);
  }

  // The first reply of a read carries the ACK, the ones after a raw ACK of the PC do not.
  Io SendNextStored() {
    Station& station = *read_.station;
    const std::size_t i = read_.next++;
    const bool last = read_.next == read_.replies.size();
    if (i >= read_.dataFrom && !last) network_.MarkSent(station, i - read_.dataFrom);
    const Io io = Send(station, read_.address, read_.replies[i], i == 0);
    if (last) {
      network_.ReadComplete(station, read_.replies.size() - 1 - read_.dataFrom);
      read_ = StoredRead{};
    }
    return io;
  }

  Io Send(Station& station, std::uint8_t address, const std::string& data, bool withAck) {
    const bool spoil = network_.SpoilReply(station);
    report_.Log("TX " + std::to_string(address) + (spoil ? " (falsche Prüfsumme) " : " ") +
                LogText(data));
    return writer_.Write(quorbus::ReplyFrame(address, data, withAck, spoil));
  }

  quorbus::RequestReader reader_;
  PacedWriter writer_;
  SatNetwork& network_;
  SatReport& report_;
  StoredRead read_;
};

// The path alone, written to a temporary name first so a reader never sees half of it.
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

int RunSatellites(int argc, char** argv) {
  SatOptions options;
  std::string error;
  if (!ParseSatOptions(argc, argv, options, error)) {
    Complain(error + " (quillon-sim satellites --help zeigt die Optionen)");
    return kUsage;
  }
  if (options.help) {
    std::fputs(SatHelpText(), stdout);
    return kOk;
  }
  SatReport report;
  if (!report.Open(options.logFile, options.acceptedFile, options.confirmedFile, error)) {
    Complain(error);
    return kFailed;
  }
  InstallStopSignals();
  Line line;
  const bool opened =
      options.pty ? line.OpenPty(error) : line.OpenDevice(options.device, options.baud, error);
  if (!opened) {
    Complain(error);
    return kFailed;
  }
  if (!options.printPath.empty() && !WritePathFile(options.printPath, line.path())) {
    Complain("Datei " + options.printPath + " kann nicht geschrieben werden");
    return kFailed;
  }
  Say("LINE " + line.path());
  const Io peer = line.WaitForPeer(options.openTimeoutMs);
  if (peer != Io::kOk && peer != Io::kStopped) {
    Complain(peer == Io::kTimeout ? "Die Leitung wurde nicht innerhalb von " +
                                        std::to_string(options.openTimeoutMs) + " ms geöffnet"
                                  : Describe(peer));
    return kFailed;
  }
  SatNetwork network(options, report);
  Io end = peer == Io::kOk ? Conversation(line, options, network, report).Run() : peer;
  // The stations keep their state while the PC has the line closed (a pause for a send).
  while (options.stay && end == Io::kClosed) {
    end = line.WaitForPeer(24 * 3600 * 1000);
    if (end == Io::kOk) end = Conversation(line, options, network, report).Run();
  }
  for (const std::string& summary : network.Summary()) Say(summary);
  if (end == Io::kClosed || end == Io::kStopped) return kOk;
  Complain(Describe(end));
  return kFailed;
}

}  // namespace sim
