#include "clock.h"

#include "block.h"
#include "output.h"
#include "receiver.h"

namespace sim {
namespace {

constexpr const char* kClockHeader = "MDE-ZEIT";

}  // namespace

bool IsClockText(const std::string& digits) {
  if (digits.size() != 12) return false;
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
  }
  auto field = [&](int index) { return std::stoi(digits.substr(2 * index, 2)); };
  const int minutes = field(0), hours = field(1), day = field(2), month = field(3),
            seconds = field(5);
  return minutes <= 59 && hours <= 23 && day >= 1 && day <= 31 && month >= 1 && month <= 12 &&
         seconds <= 59;
}

bool ReceiveClock(Session& s) {
  if (!s.Pause(s.options.clockDelayMs)) return false;
  if (!s.Answer(kNak)) return false;
  ReceivedTransfer transfer;
  if (!ReceiveTransfer(s, transfer)) return false;
  if (transfer.header != kClockHeader) {
    return s.Fail("Uhrzeit: Kopfblock \"" + Printable(transfer.header) + "\" statt \"" +
                  kClockHeader + "\"");
  }
  if (transfer.lines.size() != 1) {
    return s.Fail("Uhrzeit: " + std::to_string(transfer.lines.size()) + " Datenblöcke statt einem");
  }
  const std::string& digits = transfer.lines.front();
  Say("CLOCK " + Printable(digits));
  if (!IsClockText(digits)) {
    return s.Fail("Uhrzeit: \"" + Printable(digits) + "\" ist keine Angabe nnhhddmmyyss");
  }
  return true;
}

}  // namespace sim
