#pragma once
// Target file names from a template with date, time, calendar week and sequential-number
// placeholders ("%t", "%m", "%jhd", "%j", "%H", "%M", "%S", "%kw", "%lfd").
#include <ctime>
#include <string>

namespace quillon {

inline constexpr const char* kSequentialPlaceholder = "%lfd";

// Replaces, case-sensitively and in this order, "%t" (day), "%m" (month), "%jhd" (4-digit year),
// "%j" (2-digit year), "%H", "%M", "%S" (24-hour time) and "%kw" (ISO calendar week), each with
// two digits unless stated. "%jhd" goes before "%j", so it never leaves "hd" behind. "%lfd" is
// removed unless `sequential` is true; it is then left for ResolveSequential.
//
// All values come from one reading of the clock, so a name made at midnight never mixes the day
// of one date with the month of the next.
[[nodiscard]] std::string ExpandPlaceholders(const std::string& tmpl, bool sequential, int digits,
                                             const std::tm& now);
// The same with the local time of now.
[[nodiscard]] std::string ExpandPlaceholders(const std::string& tmpl, bool sequential, int digits);

// The local time of now, as ExpandPlaceholders uses it.
[[nodiscard]] std::tm LocalTimeNow();

// Every occurrence of `what` in `text` replaced by `with`, left to right.
[[nodiscard]] std::string ReplaceAll(std::string text, const std::string& what,
                                     const std::string& with);

}  // namespace quillon
