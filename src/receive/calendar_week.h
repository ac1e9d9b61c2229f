#pragma once
// The ISO 8601 calendar week of a date, used by the "%kw" name placeholder.

namespace quillon {

// Week 1..53. Weeks begin on Monday; a week belongs to the year that holds its Thursday, so
// 31 December may be in week 1 of the next year and 1 January in week 52 or 53 of the last.
[[nodiscard]] int CalendarWeek(int year, int month, int day);

}  // namespace quillon
