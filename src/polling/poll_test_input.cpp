#include "polling/poll_test_input.h"

namespace quillon {

void PollTestInput::SetAddresses(std::vector<std::string> addresses) {
  std::lock_guard lock(mutex_);
  addresses_ = std::move(addresses);
}

void PollTestInput::SetInterval(int ms) {
  std::lock_guard lock(mutex_);
  interval_ = ms;
}

std::vector<std::string> PollTestInput::Addresses() const {
  std::lock_guard lock(mutex_);
  return addresses_;
}

int PollTestInput::Interval() const {
  std::lock_guard lock(mutex_);
  return interval_;
}

}  // namespace quillon
