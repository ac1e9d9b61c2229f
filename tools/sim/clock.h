#pragma once
// The clock exchange after a transfer: the terminal says it is ready with NAK, the PC sends a
// first block "MDE-ZEIT", a block with the twelve digits minutes, hours, day, month, year
// within the century and seconds, and the end block.
#include <string>

#include "session.h"

namespace sim {

// True when `digits` is "nnhhddmmyyss" with every field in its range.
bool IsClockText(const std::string& digits);

// Waits --clock-delay, sends NAK, receives the exchange and prints "CLOCK <digits>".
bool ReceiveClock(Session& s);

}  // namespace sim
