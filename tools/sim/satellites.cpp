#include "satellites.h"

#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <utility>

#include "air.h"
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
// The rate of a signal when neither its station nor the line tells one.
constexpr int kDefaultRate = 9600;

// Sleeps until `when`; false when a stop signal came first.
bool SleepUntil(Clock::time_point when) {
  const auto left = when - Clock::now();
  if (left > Clock::duration::zero()) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    const timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    ppoll(nullptr, 0, &ts, WaitMask());
  }
  return !StopRequested();
}

// Writes to the line, with --pace no faster than the baud rate allows (10 bits a byte).
class PacedWriter {
 public:
  PacedWriter(Line& line, bool pace, int baud)
      : line_(line), pace_(pace), byteTime_(std::chrono::microseconds(10000000LL / baud)) {}

  Io Write(const std::string& bytes) {
    if (!pace_) return line_.Write(bytes, kWriteTimeoutMs);
    // Each byte is due one byte time after the one before, counted from the start of the
    // reply: a sleep that ends late is made up by the following bytes, not added to them.
    const Clock::time_point start = std::max(lineFree_, Clock::now());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (!SleepUntil(start + byteTime_ * static_cast<long>(i))) return Io::kStopped;
      const Io io = line_.Write(std::string_view(&bytes[i], 1), kWriteTimeoutMs);
      if (io != Io::kOk) return io;
    }
    lineFree_ = std::max(start + byteTime_ * static_cast<long>(bytes.size()), Clock::now());
    return Io::kOk;
  }

 private:
  Line& line_;
  bool pace_;
  Clock::duration byteTime_;
  Clock::time_point lineFree_{};
};

// A read of stored data in progress: the replies still to go out, one per raw ACK.
struct StoredRead {
  Station* station = nullptr;  // null once the end marker is out
  std::uint8_t address = 0;
  std::vector<std::string> replies;
  std::size_t dataFrom = 0;
  std::size_t next = 0;
};

// One station's reply frame on its way.
struct Answer {
  Station* station = nullptr;
  std::string frame;
};

class Conversation {
 public:
  Conversation(Line& line, const SatOptions& options, SatNetwork& network, SatReport& report)
      : line_(line),
        reader_(line),
        writer_(line, options.pace, options.baud),
        network_(network),
        report_(report) {}

  // Answers requests until the line ends; returns why it ended.
  Io Run() {
    for (;;) {
      quorbus::Request request;
      Io io = reader_.Next(request);
      if (io == Io::kOk) io = Take(request, Clock::now());
      if (io != Io::kOk) return io;
    }
  }

 private:
  // Every station at the request's address that makes it out answers; their replies share the
  // line.
  Io Take(const quorbus::Request& request, Clock::time_point heard) {
    using Kind = quorbus::Request::Kind;
    const int rate = line_.RateHeard();
    if (request.kind == Kind::kRawAck) {
      report_.Log("RAWACK");
      return Transmit(ContinueReads(rate), heard);
    }
    // Any frame, even a bad one, means the PC has given up the reads in progress.
    reads_.clear();
    if (request.kind == Kind::kBad) {
      report_.Log("BAD " + request.fault);
      return Io::kOk;
    }
    report_.Log("RX " + std::to_string(request.address) + " " + LogText(request.text));
    const std::vector<Station*> stations = network_.FindAll(request.address);
    if (stations.empty()) report_.Log("UNKNOWN " + std::to_string(request.address));
    std::vector<Answer> answers;
    for (Station* station : stations) {
      if (!station->Hears(rate)) {
        report_.Log("DEAF " + station->Label() + " " + std::to_string(rate));
        continue;
      }
      if (!network_.Answers(*station)) {
        report_.Log("SILENT " + station->Label());
        continue;
      }
      if (request.text == "0*") {
        StoredRead& read = reads_.emplace_back();
        read.station = station;
        read.address = request.address;
        read.replies = network_.StartRead(*station, read.dataFrom);
        answers.push_back(NextStored(read));
        continue;
      }
      const std::string data = network_.Handle(*station, request.text);
      answers.push_back(Frame(*station, request.address, data, true));
    }
    DropFinishedReads();
    return Transmit(answers, heard);
  }

  std::vector<Answer> ContinueReads(int rate) {
    std::vector<Answer> answers;
    for (StoredRead& read : reads_) {
      if (read.station->Hears(rate)) answers.push_back(NextStored(read));
    }
    DropFinishedReads();
    return answers;
  }

  void DropFinishedReads() {
    std::erase_if(reads_, [](const StoredRead& read) { return read.station == nullptr; });
  }

  // The first reply of a read carries the ACK, the ones after a raw ACK of the PC do not.
  Answer NextStored(StoredRead& read) {
    Station& station = *read.station;
    const std::size_t i = read.next++;
    const bool last = read.next == read.replies.size();
    if (i >= read.dataFrom && !last) network_.MarkSent(station, i - read.dataFrom);
    Answer answer = Frame(station, read.address, read.replies[i], i == 0);
    if (last) {
      network_.ReadComplete(station, read.replies.size() - 1 - read.dataFrom);
      read.station = nullptr;
    }
    return answer;
  }

  Answer Frame(Station& station, std::uint8_t address, const std::string& data, bool withAck) {
    const bool spoil = network_.SpoilReply(station);
    report_.Log("TX " + std::to_string(address) + (spoil ? " (falsche Prüfsumme) " : " ") +
                LogText(data));
    return Answer{&station, quorbus::ReplyFrame(address, data, withAck, spoil)};
  }

  // Sends the answers, each after its station's delay counted from `heard`. Answers whose
  // signals overlap on the air reach the PC as one signal.
  Io Transmit(std::vector<Answer> answers, Clock::time_point heard) {
    std::stable_sort(answers.begin(), answers.end(), [](const Answer& a, const Answer& b) {
      return a.station->delayMs < b.station->delayMs;
    });
    for (std::size_t i = 0; i < answers.size();) {
      const int firstDelay = answers[i].station->delayMs;
      std::vector<Signal> overlapping{SignalOf(answers[i], 0)};
      double endUs = overlapping.back().EndUs();
      for (++i; i < answers.size(); ++i) {
        const double startUs = 1000.0 * (answers[i].station->delayMs - firstDelay);
        if (startUs >= endUs) break;
        overlapping.push_back(SignalOf(answers[i], startUs));
        endUs = std::max(endUs, overlapping.back().EndUs());
      }
      if (!SleepUntil(heard + std::chrono::milliseconds(firstDelay))) return Io::kStopped;
      const Io io = writer_.Write(OnTheLine(overlapping));
      if (io != Io::kOk) return io;
    }
    // A satellite told a new rate by "L" has answered at its old one.
    for (const Answer& answer : answers) {
      Station& station = *answer.station;
      if (station.pendingRate != 0) station.rate = std::exchange(station.pendingRate, 0);
    }
    return Io::kOk;
  }

  Signal SignalOf(const Answer& answer, double startUs) const {
    const int own = answer.station->rate;
    const int line = line_.RateHeard();
    return Signal{answer.frame, own != 0 ? own : (line != 0 ? line : kDefaultRate), startUs};
  }

  // What the PC reads: a lone signal at its own rate as it is, anything else as its receiver
  // makes it out.
  std::string OnTheLine(const std::vector<Signal>& signals) {
    const int rate = line_.RateHeard();
    if (signals.size() == 1 && (rate == 0 || signals[0].baud == rate)) return signals[0].bytes;
    std::string bytes = Receive(signals, rate);
    report_.Log("NOISE " + LogText(bytes));
    return bytes;
  }

  Line& line_;
  quorbus::RequestReader reader_;
  PacedWriter writer_;
  SatNetwork& network_;
  SatReport& report_;
  std::vector<StoredRead> reads_;
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
