#include "polling/poll_times.h"

#include <algorithm>

#include "common/format.h"
#include "polling/poll_texts.h"

namespace quillon {
namespace {

std::string Shown(int ms) {
  return ms < 0 ? std::string(txt::kPollTestNoValue) : std::to_string(ms);
}

}  // namespace

void PollTimes::Record(int ms) {
  if (minimum < 0 || minimum >= ms) minimum = ms;
  current = ms;
  maximum = std::max(maximum, ms);
}

std::string PollTimes::Text() const {
  return Format(txt::kPollTestTimes, Shown(minimum), Shown(current), Shown(maximum));
}

}  // namespace quillon
