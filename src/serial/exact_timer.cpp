#include "serial/exact_timer.h"

#include <time.h>

namespace quillon {
namespace {

int64_t NowCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

}  // namespace

TExactTimer::TExactTimer() = default;

void TExactTimer::Start() {
  startCount = NowCount();
  stopCount = -1;
}

long double TExactTimer::Elapsed() {
  stopCount = NowCount();
  const long double ms = static_cast<long double>(stopCount - startCount) * 1000.0L /
                         static_cast<long double>(frequency);
  stopCount = -1;
  return ms;
}

}  // namespace quillon
