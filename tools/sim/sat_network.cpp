#include "sat_network.h"

#include <cstdlib>

namespace sim {
namespace {

const std::string kAckText = "<ACK>";
const std::string kNakText = "<NAK>";

std::string ThreeDigits(int value) {
  std::string text = std::to_string(value);
  return std::string(text.size() < 3 ? 3 - text.size() : 0, '0') + text;
}

// The "8$" reply: the 3rd character is the major version, the minor one follows from the 7th.
std::string BiosReply(const std::string& version) {
  return std::string("V:") + version[0] + " R." + version.substr(2);
}

// Records in one "W" frame need BIOS 6.2 or later.
bool IsNewBios(const std::string& version) {
  return std::strtod(version.c_str(), nullptr) >= 6.2 - 1e-9;
}

// A terminal number sent as one byte (number + 128), or -1.
int TermOfByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 128 ? b - 128 : -1;
}

int BaudOfCode(unsigned char code) {
  switch (code) {
    case 51:
      return 9600;
    case 25:
      return 19200;
    case 12:
      return 38400;
    default:
      return 0;
  }
}

std::set<long> EventsOf(const std::vector<TermEvent>& events, int term) {
  std::set<long> records;
  for (const TermEvent& e : events) {
    if (e.term == term) records.insert(e.record);
  }
  return records;
}

}  // namespace

std::string Station::Label() const {
  return satellite ? std::to_string(number) : "T" + std::to_string(number);
}

SatNetwork::SatNetwork(const SatOptions& options, SatReport& report)
    : options_(options),
      report_(report),
      style_{options.records, options.termId, options.counter, options.binaryDigits,
             options.recordText} {
  for (const SatelliteSetup& s : options.satellites) {
    Station st;
    st.number = s.id;
    st.address = static_cast<std::uint8_t>(s.id + 100);
    st.bios = s.bios;
    st.firstTerm = s.firstTerm;
    st.lastTerm = s.lastTerm;
    st.switching = s.switching;
    st.deliverAfter = s.deliverAfter;
    st.refuseLeft = s.refuse;
    st.rate = s.rate;
    st.delayMs = s.delayMs;
    st.faults = s.faults;
    stations_.push_back(st);
    for (int t = s.firstTerm; t <= s.lastTerm; ++t) Feed(t);
  }
  for (const StationSetup& s : options.stations) {
    Station st;
    st.satellite = false;
    st.number = s.number;
    st.address = static_cast<std::uint8_t>(s.number);
    st.bios = "6.2";
    st.faults = s.faults;
    for (TerminalFeed feed = MakeFeed(s.number); !feed.Exhausted();) {
      st.buffer.push_back(StoredLine{feed.Next(), false});
    }
    stations_.push_back(st);
  }
}

TerminalFeed SatNetwork::MakeFeed(int term) const {
  return TerminalFeed(term, style_, EventsOf(options_.restarts, term),
                      EventsOf(options_.pings, term));
}

TerminalFeed& SatNetwork::Feed(int term) {
  auto it = feeds_.find(term);
  if (it == feeds_.end()) it = feeds_.emplace(term, MakeFeed(term)).first;
  return it->second;
}

std::vector<Station*> SatNetwork::FindAll(std::uint8_t address) {
  std::vector<Station*> found;
  for (Station& st : stations_) {
    if (st.address == address) found.push_back(&st);
  }
  return found;
}

bool SatNetwork::Answers(Station& st) {
  const long n = ++st.requests;
  const StationFaults& f = st.faults;
  if (f.muteAll || n <= f.muteFirst || (f.muteFrom > 0 && n >= f.muteFrom)) return false;
  if (f.offlineFrom > 0 && n >= f.offlineFrom && n <= f.offlineTo) {
    if (n == f.offlineFrom) {
      // Switched off: it forgets polling, open transfers and switching, keeps its buffers.
      PollingOff(st);
      st.switchingLeft = 0;
      st.open.clear();
      report_.Event("OFFLINE " + st.Label());
    }
    return false;
  }
  if (f.offlineFrom > 0 && n == f.offlineTo + 1) report_.Event("ONLINE " + st.Label());
  return true;
}

bool SatNetwork::SpoilReply(Station& st) {
  const long n = ++st.replies;
  for (const long bad : st.faults.badChecksum) {
    if (bad == n) return true;
  }
  return false;
}

std::string SatNetwork::Handle(Station& st, const std::string& command) {
  if (command == "1*") return Confirm(st);
  if (command == "5") return Status(st);
  if (command == "6" || command == "M0") return kAckText;
  if (command == "8") return (st.satellite ? "SAT" : "TERM") + ThreeDigits(st.number);
  if (command == "8$") return BiosReply(st.bios);
  if (!st.satellite) return kNakText;
  if (command == "3" || command == "3$") {
    StartPolling(st);
    return kAckText;
  }
  if (command == "4" || command == "4$") return StopPolling(st);
  if (!command.empty() && command[0] == 'L') return Configure(st, command);
  return ForTerminal(st, command);
}

void SatNetwork::StartPolling(Station& st) {
  st.switchingLeft = 0;
  if (st.polling) return;
  st.polling = true;
  const std::string window = "POLLING " + st.Label() + " ON";
  report_.Event(window + " " + MonotonicStamp());
  report_.Log(window);
  // The terminals in range hear the satellite again and hand over their next lines.
  std::size_t released = 0;
  for (int t = st.firstTerm; t <= st.lastTerm; ++t) {
    TerminalFeed& feed = Feed(t);
    for (long n = 0; !feed.Exhausted() && (options_.burst == 0 || n < options_.burst); ++n) {
      st.buffer.push_back(StoredLine{feed.Next(), false});
      ++released;
    }
  }
  if (released > 0) report_.Event("RELEASED " + st.Label() + " " + std::to_string(released));
}

void SatNetwork::PollingOff(Station& st) {
  if (!st.polling) return;
  st.polling = false;
  const std::string window = "POLLING " + st.Label() + " OFF";
  report_.Event(window + " " + MonotonicStamp());
  report_.Log(window);
}

std::string SatNetwork::StopPolling(Station& st) {
  st.switchingLeft = st.switching;
  if (st.switchingLeft == 0) {
    PollingOff(st);
    return kAckText;
  }
  return Status(st);
}

// While switching off, the stop and the status questions after it say "<SYS>", "<RUN>", ...;
// polling is over with the last of them.
std::string SatNetwork::Status(Station& st) {
  if (st.switchingLeft == 0) return kAckText;
  const int shown = st.switching - st.switchingLeft;
  if (--st.switchingLeft == 0) PollingOff(st);
  return shown % 2 == 0 ? "<SYS>" : "<RUN>";
}

std::vector<std::string> SatNetwork::StartRead(Station& st, std::size_t& dataFrom) {
  st.toConfirm = 0;
  std::vector<std::string> replies;
  if (!st.satellite) replies.push_back("KOPF " + ThreeDigits(st.number));
  dataFrom = replies.size();
  for (const StoredLine& stored : st.buffer) replies.push_back(stored.line.raw);
  replies.push_back(st.satellite ? "<EOF>" : "<EOT>");
  return replies;
}

void SatNetwork::MarkSent(Station& st, std::size_t index) {
  if (index >= st.buffer.size() || st.buffer[index].sent) return;
  st.buffer[index].sent = true;
  ++sent_;
}

void SatNetwork::ReadComplete(Station& st, std::size_t lines) {
  st.toConfirm = lines;
  report_.Event("READ " + st.Label() + " " + std::to_string(lines));
}

std::string SatNetwork::Confirm(Station& st) {
  const std::size_t n = st.toConfirm;
  st.toConfirm = 0;
  if (n == 0) return kAckText;
  for (std::size_t i = 0; i < n && !st.buffer.empty(); ++i) {
    report_.Confirmed(st.Label() + " " + LogText(st.buffer.front().line.decoded));
    st.buffer.pop_front();
  }
  confirmed_ += static_cast<long>(n);
  report_.Event("CONFIRMED " + st.Label() + " " + std::to_string(n));
  return kAckText;
}

// "L", baud code, "3", new ID + 100, first terminal + 128, last terminal + 128.
std::string SatNetwork::Configure(Station& st, const std::string& command) {
  if (command.size() != 6 || command[2] != '3') return kNakText;
  const int baud = BaudOfCode(static_cast<unsigned char>(command[1]));
  const auto address = static_cast<unsigned char>(command[3]);
  const int first = TermOfByte(command[4]);
  const int last = TermOfByte(command[5]);
  // A satellite cannot know whether another one holds the new address already: it takes it.
  if (baud == 0 || address < 100 || address > 200 || first < 0 || last < first) return kNakText;
  const std::string old = st.Label();
  st.number = address - 100;
  st.address = address;
  st.firstTerm = first;
  st.lastTerm = last;
  st.pendingRate = baud;
  for (int t = first; t <= last; ++t) Feed(t);
  report_.Event("CONFIGURED " + old + " " + st.Label() + " " + std::to_string(first) + "-" +
                std::to_string(last) + " " + std::to_string(baud));
  return kAckText;
}

std::string SatNetwork::ForTerminal(Station& st, const std::string& command) {
  const int term = command.size() >= 2 ? TermOfByte(command[1]) : -1;
  if (term < 0 || !st.Covers(term)) return kNakText;
  const std::string record = command.substr(2);
  if ((command[0] == 'O' || command[0] == 'W') && st.refuseLeft > 0) {
    --st.refuseLeft;
    return kNakText;
  }
  switch (command[0]) {
    case 'O':
      st.open.insert(term);
      return kAckText;
    case '2':
      if (st.open.count(term) == 0 || record.empty()) return kNakText;
      Accept(st, term, record);
      return kAckText;
    case 'C':
      st.open.erase(term);
      return kAckText;
    case 'W':
      if (!IsNewBios(st.bios) || record.empty()) return kNakText;
      Accept(st, term, record);
      return kAckText;
    case 'D': {
      auto it = st.outgoing.find(term);
      if (it == st.outgoing.end()) return kNakText;
      OutgoingRecord& out = it->second;
      if (out.questionsLeft > 0) {
        --out.questionsLeft;
        return "<DEL>";
      }
      if (!out.delivered) {
        out.delivered = true;
        Feed(term).Delivered(out.text);
        report_.Event("DELIVERED " + st.Label() + " " + std::to_string(term));
      }
      return kAckText;
    }
    default:
      return kNakText;
  }
}

void SatNetwork::Accept(Station& st, int term, const std::string& text) {
  // The PC offers a record again at every turn until it hears it was delivered: the same record
  // still on its way to the terminal keeps its progress.
  const auto held = st.outgoing.find(term);
  const bool again =
      held != st.outgoing.end() && !held->second.delivered && held->second.text == text;
  if (!again) st.outgoing[term] = OutgoingRecord{text, st.deliverAfter, false};
  ++accepted_;
  const std::string line = st.Label() + " " + std::to_string(term) + " " + LogText(text);
  report_.Event("ACCEPTED " + line);
  report_.Accepted(line);
}

std::vector<std::string> SatNetwork::Summary() const {
  long left = 0;
  for (const Station& st : stations_) left += static_cast<long>(st.buffer.size());
  for (const auto& [term, feed] : feeds_) left += feed.Remaining();
  return {"RECORDS SENT " + std::to_string(sent_), "CONFIRMED " + std::to_string(confirmed_),
          "RECORDS ACCEPTED " + std::to_string(accepted_), "RECORDS LEFT " + std::to_string(left)};
}

}  // namespace sim
