#include "receive/tokens.h"

#include <algorithm>
#include <cctype>

namespace quillon {
namespace {

// A hex number as the token gives it: empty is 0, anything else but hex digits is -1.
long HexValue(const std::string& text) {
  if (text.empty()) return 0;
  if (text.size() > 8) return -1;
  long value = 0;
  for (char c : text) {
    const int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                  : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                  : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                              : -1;
    if (d < 0) return -1;
    value = value * 16 + d;
  }
  return value;
}

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

}  // namespace

std::optional<std::string> ExpandTokens(const std::string& input,
                                        std::array<std::string, 3>& targetNames) {
  std::string text = input;
  size_t from = 0;
  // After a change the search starts again from the beginning of the text. The text before the
  // change is as it was, and every "$" in it opened a token, closed by the next "$", that was
  // left as it is: that search would find them all again, up to the one ending where the change
  // begins. It is taken up at that token's "$", so that text holding "$" many times (a repeat
  // token may put a million there) is not searched through after every token.
  auto searchAgain = [&](size_t changedAt) {
    const size_t before = changedAt == 0 ? std::string::npos : text.rfind('$', changedAt - 1);
    from = before == std::string::npos ? 0 : before;
  };
  for (;;) {
    const size_t open = text.find('$', from);
    if (open == std::string::npos) break;
    const size_t close = text.find('$', open + 1);
    if (close == std::string::npos) break;
    const std::string token = text.substr(open + 1, close - open - 1);
    const std::string lower = Lower(token);
    const size_t file = lower.find("file");
    if (file != std::string::npos && lower.rfind("fileinfo", 0) != 0) {
      text.erase(open, close - open + 1);
      std::string names = Trim(token.substr(file + 4));
      for (size_t i = 0; i < targetNames.size(); ++i) {
        const size_t bar = names.find('|');
        if (i + 1 == targetNames.size() || bar == std::string::npos) {
          targetNames[i] = Trim(names);
          break;
        }
        targetNames[i] = Trim(names.substr(0, bar));
        names = names.substr(bar + 1);
      }
      searchAgain(open);
      continue;
    }
    const size_t star = token.find('*');
    if (star != std::string::npos) {
      const long count = HexValue(token.substr(0, star));
      const long code = HexValue(token.substr(star + 1));
      const size_t repeat = count >= 1 && code >= 0 ? static_cast<size_t>(count) : 0;
      const size_t rest = text.size() - (close - open + 1);
      if (rest > kMaxRecordBytes || repeat > kMaxRecordBytes - rest) return std::nullopt;
      text.replace(open, close - open + 1, repeat, static_cast<char>(code & 0xFF));
      searchAgain(open);
      continue;
    }
    from = close;
  }
  return text;
}

}  // namespace quillon
