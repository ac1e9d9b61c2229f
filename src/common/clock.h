#pragma once
// The millisecond clock of every time-out in the serial layer and its users.
#include <cstdint>

namespace quillon {

// Milliseconds of a monotonic clock. 64 bits wide, so it never wraps.
uint64_t Clock();

// Sleeps until Clock() has reached start + ms and returns the last reading; Delay(0) returns at
// once. One sleep, not a polling loop.
uint64_t Delay(int ms);

}  // namespace quillon
