#include "common/clock.h"

#include <time.h>

#include <cerrno>

namespace quillon {

uint64_t Clock() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

uint64_t Delay(int ms) {
  if (ms <= 0) return Clock();
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  // Round the start down to the whole millisecond the clock shows, as Clock() does.
  timespec until = now;
  until.tv_nsec = (until.tv_nsec / 1000000) * 1000000 + static_cast<long>(ms % 1000) * 1000000;
  until.tv_sec += ms / 1000 + until.tv_nsec / 1000000000;
  until.tv_nsec %= 1000000000;
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
  return Clock();
}

}  // namespace quillon
