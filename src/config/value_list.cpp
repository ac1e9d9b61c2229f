#include "config/value_list.h"

namespace quillon {

std::string ListValue(std::string_view text, int k) {
  size_t begin = 0;
  for (int i = 1; i < k; ++i) {
    const size_t bar = text.find('|', begin);
    if (bar == std::string_view::npos) return {};
    begin = bar + 1;
  }
  const size_t end = text.find('|', begin);
  return std::string(text.substr(begin, end == std::string_view::npos ? text.npos : end - begin));
}

std::string JoinList(std::initializer_list<std::string_view> values) {
  std::string out;
  bool first = true;
  for (const std::string_view value : values) {
    if (!first) out += '|';
    out += value;
    first = false;
  }
  return out;
}

}  // namespace quillon
