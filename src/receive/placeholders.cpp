#include "receive/placeholders.h"

#include <cstdio>

#include "receive/calendar_week.h"

namespace quillon {
namespace {

std::string TwoDigits(int value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", value);
  return buf;
}

}  // namespace

std::string ReplaceAll(std::string text, const std::string& what, const std::string& with) {
  if (what.empty()) return text;
  for (size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
  return text;
}

std::string ExpandPlaceholders(const std::string& tmpl, bool sequential, int /*digits*/,
                               const std::tm& now) {
  const int year = now.tm_year + 1900;
  const int month = now.tm_mon + 1;
  std::string name = tmpl;
  name = ReplaceAll(name, "%t", TwoDigits(now.tm_mday));
  name = ReplaceAll(name, "%m", TwoDigits(month));
  name = ReplaceAll(name, "%jhd", std::to_string(year));
  name = ReplaceAll(name, "%j", TwoDigits(year % 100));
  name = ReplaceAll(name, "%H", TwoDigits(now.tm_hour));
  name = ReplaceAll(name, "%M", TwoDigits(now.tm_min));
  name = ReplaceAll(name, "%S", TwoDigits(now.tm_sec));
  name = ReplaceAll(name, "%kw", TwoDigits(CalendarWeek(year, month, now.tm_mday)));
  if (!sequential) name = ReplaceAll(name, kSequentialPlaceholder, "");
  return name;
}

std::string ExpandPlaceholders(const std::string& tmpl, bool sequential, int digits) {
  return ExpandPlaceholders(tmpl, sequential, digits, LocalTimeNow());
}

std::tm LocalTimeNow() {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  return local;
}

}  // namespace quillon
