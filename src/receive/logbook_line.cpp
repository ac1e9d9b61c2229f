#include "receive/logbook_line.h"

#include "common/format.h"

namespace quillon {

std::string FormatLogbookLine(int port, const std::string& text, std::time_t when) {
  std::tm tm {};
  localtime_r(&when, &tm);
  return Format("%02d.%02d.%04d %02d:%02d:%02d   (com%d:) ", tm.tm_mday, tm.tm_mon + 1,
                tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec, port) +
         text;
}

std::string FormatLogbookLine(int port, const std::string& text) {
  return FormatLogbookLine(port, text, std::time(nullptr));
}

}  // namespace quillon
