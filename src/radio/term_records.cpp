#include "radio/term_records.h"

#include <cstdio>

#include "common/format.h"

namespace quillon {

namespace {

// What the handler writes into the terminals' debug files and the line's debug log.
constexpr const char* kRecordReceived = "Datensatz vom Terminal empfangen (%s)";
constexpr const char* kPingReceived = "PING vom Terminal empfangen (%s)";
constexpr const char* kTerminalWrongCounter = "MDE meldet falschen Zählerempfang (%s)";
constexpr const char* kTerminalWrongCounterRecord = "%s%s;;MDE meldet falschen Zählerempfang:%s";
constexpr const char* kHostWrongCounter =
    "%s%s;;HOST hat falschen Zähler empfangen (erwartet:%s empfangen:%s):%s";
constexpr const char* kRepeatLastAsked = "MDE fordert letzten Datensatz nochmal an";
constexpr const char* kPingText = "PING%s:%s";
constexpr const char* kDuplicate = "Doppelten Datensatz vom Terminal empfangen (%s)";
constexpr const char* kRepeating = "Wiederhole letzte Datensätze";
constexpr const char* kLineRecord = "  Terminal %s: %s";

// The number a short text spells: an optional minus and digits only, else kNoCounter.
int Spelled(const std::string& text) {
  if (text.empty() || text.size() > 3) return kNoCounter;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) return kNoCounter;
  int value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return kNoCounter;
    value = value * 10 + (text[i] - '0');
  }
  return text[0] == '-' ? -value : value;
}

std::string ThreeDigits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%03d", value);
  return buffer;
}

std::string LastTwo(const std::string& line) {
  return line.size() >= 2 ? line.substr(line.size() - 2) : line;
}

bool IsControl(char c) { return static_cast<unsigned char>(c) < 32; }

std::string TrimControls(const std::string& line) {
  size_t begin = 0;
  size_t end = line.size();
  while (begin < end && IsControl(line[begin])) ++begin;
  while (end > begin && IsControl(line[end - 1])) --end;
  return line.substr(begin, end - begin);
}

}  // namespace

int NextCounter(int value) {
  if (value < 0) return 2;
  if (value >= 99) return 1;
  return value + 1;
}

std::string CounterText(int value) {
  char buffer[16];
  // Width, not precision: a negative counter keeps two characters ("-5", not "-05").
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

TOneTermData& RadioInbox::Find(int nr) {
  for (auto& term : terms) {
    if (term->Nr == nr) return *term;
  }
  terms.push_back(std::make_unique<TOneTermData>());
  terms.back()->Nr = nr;
  return *terms.back();
}

size_t RadioInbox::Waiting() {
  size_t count = 0;
  for (const auto& term : terms) count += term->Pending.size();
  return count;
}

RecordHandler::RecordHandler(RadioInbox& inbox, OutgoingList& outgoing, RecordOptions options,
                             RecordSinks sinks)
    : inbox_(inbox), outgoing_(outgoing), options_(options), sinks_(std::move(sinks)) {}

void RecordHandler::Debug(const TOneTermData& term, const std::string& text, bool blankLine) {
  if (sinks_.termDebug) sinks_.termDebug(term.Nr, text, blankLine);
}

void RecordHandler::ProcessText(const std::string& text) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = TrimControls(text.substr(start, end - start));
    if (line.empty()) return;
    ProcessLine(line);
    start = end + 2;
  }
}

void RecordHandler::ProcessLine(const std::string& line) {
  int nr = 0;
  if (options_.termIdBeforeData) {
    nr = Spelled(line.substr(0, 3));
    if (nr < 0) nr = 0;
  }
  TOneTermData& term = inbox_.Find(nr);
  const std::string nnn = ThreeDigits(term.Nr);
  Action action = Action::kRecord;
  if (options_.withCounter) {
    std::string counterText = "--";
    if (!options_.termIdBeforeData && line.size() >= 2) {
      counterText = line.substr(0, 2);
    } else if (options_.termIdBeforeData && line.size() >= 5) {
      counterText = line.substr(3, 2);
    }
    action = ByCounter(term, line, nnn, counterText);
  } else if (options_.deleteDuplicates) {
    if (!term.Pending.empty() && term.Pending.back() == line) {
      Debug(term, Format(kDuplicate, line), true);
      action = Action::kNone;
    } else if (!term.Pending.empty()) {
      Debug(term, Format(kRecordReceived, line));
    }
  }
  Store(term, line, nnn, action);
}

void RecordHandler::Problem(TOneTermData& term, const std::string& text) {
  term.Pending.push_back(text);
  // A terminal that keeps counting wrong must not grow its inbox beyond the limit either.
  while (term.Pending.size() > kMaxPending) term.Pending.pop_front();
  term.Counter = 2;
  term.HostCounter = -5;
}

RecordHandler::Action RecordHandler::ByCounter(TOneTermData& term, const std::string& line,
                                               const std::string& nnn,
                                               const std::string& counterText) {
  const bool fresh = term.Fresh;
  term.Fresh = false;
  const int spelled = Spelled(counterText);
  if (counterText == "00") {
    const std::string reported = LastTwo(line);
    Debug(term, Format(kPingReceived, line));
    if (term.HostCounter > 0 && term.HostCounter != Spelled(reported) && !Repeat(term, reported)) {
      const std::string text =
          Format(kHostWrongCounter, nnn, "-2", CounterText(term.HostCounter), reported, line);
      Problem(term, text);
      Debug(term, Format(kTerminalWrongCounter, text), true);
    }
    return Action::kPing;
  }
  if (counterText == "-1") {
    term.Counter = 1;
    term.HostCounter = 2;
    term.LastRecord.clear();
    Debug(term, Format(kRecordReceived, line));
    return Action::kRecord;
  }
  if (counterText == "-2") {
    Debug(term, Format(kTerminalWrongCounter, line), true);
    const std::string reported = line.size() >= 5 ? line.substr(line.size() - 5, 2) : "";
    if (!Repeat(term, reported)) {
      const std::string text = Format(kTerminalWrongCounterRecord, nnn, "-2", line);
      Problem(term, text);
      Debug(term, Format(kTerminalWrongCounter, text), true);
    }
    return Action::kNone;
  }
  if (counterText == "-3") {
    if (!term.History.empty()) {
      // The delivered text carries the counter it went with: the record goes again under the
      // next one, not with both in front.
      const std::string& newest = term.History.back();
      QueueNext(term, options_.withCounter && newest.size() >= 2 ? newest.substr(2) : newest);
      Debug(term, kRepeatLastAsked, true);
    }
    return Action::kNone;
  }
  if (fresh && spelled >= 1 && spelled <= 99) term.Counter = spelled;
  if (counterText == CounterText(term.Counter)) {
    Debug(term, Format(kRecordReceived, line));
    return Action::kRecord;
  }
  if (term.History.empty()) {
    const std::string text = nnn + "-1;;RESET";
    Problem(term, text);
    Debug(term, Format(kRecordReceived, text));
    return Action::kNone;
  }
  if (spelled == NextCounter(term.Counter)) {
    Debug(term, Format(kRecordReceived, line));
    Queue(term, Format(kPingText, CounterText(term.HostCounter), CounterText(term.Counter)), 0);
    return Action::kNone;
  }
  const std::string lastCounter =
      options_.termIdBeforeData
          ? (term.LastRecord.size() >= 5 ? term.LastRecord.substr(3, 2) : "--")
          : (term.LastRecord.size() >= 2 ? term.LastRecord.substr(0, 2) : "--");
  if (counterText == lastCounter && line == term.LastRecord) return Action::kNone;  // repeated
  Debug(term, Format(kRecordReceived, line));
  const std::string text =
      Format(kHostWrongCounter, nnn, "-3", CounterText(term.Counter), counterText, line);
  Problem(term, text);
  term.LastRecord.clear();
  Debug(term, text, true);
  return Action::kNone;
}

void RecordHandler::Store(TOneTermData& term, const std::string& line, const std::string& nnn,
                          Action action) {
  if (action == Action::kNone) return;
  size_t start = 0;
  while (start <= line.size()) {
    size_t end = line.find('|', start);
    if (end == std::string::npos) end = line.size();
    const std::string field = line.substr(start, end - start);
    if (field.empty()) break;
    term.Pending.push_back(field);
    if (action == Action::kRecord) {
      term.LastRecord = field;
      term.Counter = NextCounter(term.Counter);
      if (sinks_.lineDebug) sinks_.lineDebug(Format(kLineRecord, nnn, field));
    }
    start = end + 1;
  }
  while (term.Pending.size() > kMaxPending) term.Pending.pop_front();
}

void RecordHandler::Queue(TOneTermData& term, const std::string& record, int counter) {
  TTermMsg msg;
  msg.Term = term.Nr;
  msg.Text = options_.withCounter ? CounterText(counter) + record : record;
  msg.QueuedAt = sinks_.tick ? sinks_.tick() : 0;
  std::lock_guard lock(outgoing_.mutex);
  outgoing_.msgs.push_back(std::move(msg));
}

void RecordHandler::QueueNext(TOneTermData& term, const std::string& record) {
  {
    std::lock_guard lock(outgoing_.mutex);
    for (const TTermMsg& msg : outgoing_.msgs) {
      if (msg.Term == term.Nr && !msg.Done) return;
    }
  }
  const int counter = term.HostCounter;
  if (counter < 0) {
    term.Counter = 2;
    term.LastRecord.clear();
  }
  Queue(term, record, counter);
}

bool RecordHandler::Repeat(TOneTermData& term, const std::string& reported) {
  if (reported.size() != 2 || term.History.empty()) return false;
  size_t match = 0;
  for (; match + 1 < term.History.size(); ++match) {
    if (term.History[match].compare(0, 2, reported) == 0) break;
  }
  if (match + 1 >= term.History.size()) return false;
  {
    std::lock_guard lock(outgoing_.mutex);
    for (TTermMsg& msg : outgoing_.msgs) {
      if (msg.Term == term.Nr) msg.Done = true;
    }
  }
  Debug(term, kRepeating, true);
  bool first = true;
  while (term.History.size() > match) {
    const std::string entry = term.History[match];
    term.History.erase(term.History.begin() + static_cast<long>(match));
    const int counter = Spelled(entry.substr(0, 2));
    if (counter == kNoCounter) continue;
    Queue(term, entry.substr(2), counter);
    if (first) term.HostCounter = counter;
    first = false;
  }
  return true;
}

}  // namespace quillon
