#include "receive/logbook_line.h"

#include "common/encoding.h"
#include "common/format.h"

namespace quillon {
namespace {

std::string TimeStamp(std::time_t when) {
  std::tm tm{};
  localtime_r(&when, &tm);
  return Format("%02d.%02d.%04d %02d:%02d:%02d   ", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
}

}  // namespace

std::string FormatLogbookLine(int port, const std::string& text, std::time_t when) {
  return TimeStamp(when) + Format("(com%d:) ", port) + text;
}

std::string FormatLogbookLine(int port, const std::string& text) {
  return FormatLogbookLine(port, text, std::time(nullptr));
}

std::string FormatUntaggedLogbookLine(const std::string& text, std::time_t when) {
  return TimeStamp(when) + text;
}

std::string CleanLogbookText(std::string_view text) {
  std::string out = IsValidUtf8(text) ? std::string(text) : Cp1252ToUtf8(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

size_t LogbookCharCount(std::string_view utf8) {
  size_t count = 0;
  for (const char c : utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

}  // namespace quillon
