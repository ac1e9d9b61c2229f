// Fuzz target: the stored text a satellite hands over, through the record handler into the
// inbox, in memory. The input's first byte chooses the network's options, the rest is cut at
// NUL into the texts of successive fetches. However the terminals count, repeat, restart or
// ping, the handler must not crash, must keep each terminal's waiting records within the limit,
// its counters on the wire's values and every queued record with the terminal it came from.
#include <string>

#include "fuzz_support.h"
#include "radio/term_records.h"

namespace {

using namespace quillon;
using fuzz::Check;

void CheckTerm(const TOneTermData& term) {
  Check(term.Pending.size() <= kMaxPending);
  Check(term.History.size() <= kMaxHistory);
  Check(term.Counter >= 1 && term.Counter <= 99);
  Check(term.HostCounter >= -9 && term.HostCounter <= 99);
  Check(term.Nr >= 0 && term.Nr <= 999);
  for (const std::string& record : term.Pending) {
    Check(!record.empty() && record.find("\r\n") == std::string::npos);
  }
}

// Hands what was queued to the terminals as the line thread does once a satellite took it: the
// host counter steps on, the delivered text goes into the history (the oldest dropped beyond
// the limit), and the message leaves the list.
void Deliver(RadioInbox& inbox, OutgoingList& outgoing) {
  for (TTermMsg& msg : outgoing.msgs) {
    if (msg.Done) continue;
    msg.Done = true;
    TOneTermData& term = inbox.Find(msg.Term);
    term.HostCounter = NextCounter(term.HostCounter);
    term.History.push_back(msg.Text);
    while (term.History.size() > kMaxHistory) term.History.pop_front();
  }
  outgoing.msgs.remove_if([](const TTermMsg& msg) { return msg.Done; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  RadioInbox inbox;
  OutgoingList outgoing;
  const RecordOptions options{(data[0] & 1) != 0, (data[0] & 2) != 0, (data[0] & 4) != 0};
  size_t lines = 0;
  RecordSinks sinks;
  sinks.termDebug = [](int, const std::string&, bool) {};
  sinks.lineDebug = [&lines](const std::string&) { ++lines; };
  sinks.tick = [] { return uint32_t{1}; };
  RecordHandler handler(inbox, outgoing, options, sinks);
  const std::string input(fuzz::Text(data + 1, size - 1));
  size_t pos = 0;
  while (pos <= input.size()) {
    const size_t end = std::min(input.find('\0', pos), input.size());
    {
      std::lock_guard lock(inbox.mutex);
      handler.ProcessText(input.substr(pos, end - pos));
      for (const auto& term : inbox.terms) CheckTerm(*term);
    }
    for (const TTermMsg& msg : outgoing.msgs) {
      Check(inbox.Find(msg.Term).Nr == msg.Term);
      Check(!options.withCounter || msg.Text.size() >= 2);
    }
    Deliver(inbox, outgoing);
    pos = end + 1;
  }
  Check(inbox.terms.size() <= 1000);
  Check(inbox.Waiting() <= inbox.terms.size() * kMaxPending);
  Check(lines <= input.size());
  return 0;
}
