#include "serial/modem_text.h"

#include "common/encoding.h"

namespace quillon {
namespace {

constexpr std::string_view kMarker = "^M";

bool IsTrimmed(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b < 32 || b > 127 || c == ' ';
}

}  // namespace

std::vector<std::string> SplitModemText(std::string_view text) {
  std::vector<std::string> items;
  while (!text.empty()) {
    const size_t marker = text.find(kMarker);
    if (marker == std::string_view::npos) {
      items.emplace_back(text);
      break;
    }
    items.emplace_back(text.substr(0, marker));
    text.remove_prefix(marker + kMarker.size());
  }
  return items;
}

std::string CleanModemLine(std::string_view line) {
  while (!line.empty() && IsTrimmed(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsTrimmed(line.back())) line.remove_suffix(1);
  return std::string(line);
}

bool InModemList(const std::vector<std::string>& list, std::string_view value) {
  for (const std::string& item : list) {
    if (EqualsNoCase(item, value)) return true;
  }
  return false;
}

std::string_view FirstWord(std::string_view text) { return text.substr(0, text.find(' ')); }

}  // namespace quillon
