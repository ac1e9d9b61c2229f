#pragma once
// A stopwatch with sub-millisecond resolution (the monotonic clock in nanoseconds).
#include <cstdint>

namespace quillon {

class TExactTimer {
 public:
  TExactTimer();
  void Start();
  // Milliseconds since Start(); the timer keeps running, so it can be read any number of times.
  long double Elapsed();

  bool hasPerformanceCounter = true;
  int64_t frequency = 1000000000;  // counts per second
  int64_t startCount = 0;
  int64_t stopCount = 0;  // -1 while running
};

}  // namespace quillon
