#include "polling/poll_address.h"

#include "polling/poll_texts.h"

namespace quillon {

std::string FormatPollAddress(int number, int length) {
  if (number < 0 || length < 1) return txt::kPollAddressOverflow;
  std::string digits = std::to_string(number);
  if (digits.size() > static_cast<std::size_t>(length)) return txt::kPollAddressOverflow;
  return std::string(static_cast<std::size_t>(length) - digits.size(), '0') + digits;
}

int NextPollIndex(int index, std::size_t count) {
  if (index < 0 || static_cast<std::size_t>(index) + 1 >= count) return 0;
  return index + 1;
}

}  // namespace quillon
