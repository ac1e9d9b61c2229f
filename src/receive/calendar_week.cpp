#include "receive/calendar_week.h"

namespace quillon {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
long DaysFromCivil(int year, int month, int day) {
  const long y = month <= 2 ? year - 1 : year;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153L * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// 0 = Monday .. 6 = Sunday; 1970-01-01 was a Thursday.
int WeekdayFromMonday(long days) {
  const long w = (days + 3) % 7;
  return static_cast<int>(w < 0 ? w + 7 : w);
}

}  // namespace

int CalendarWeek(int year, int month, int day) {
  const long days = DaysFromCivil(year, month, day);
  const long thursday = days - WeekdayFromMonday(days) + 3;
  // The Thursday lies in `year`, the year before or the year after; its week counts from the
  // first of January of its own year.
  int thursdayYear = year;
  if (thursday < DaysFromCivil(year, 1, 1)) thursdayYear = year - 1;
  if (thursday >= DaysFromCivil(year + 1, 1, 1)) thursdayYear = year + 1;
  return static_cast<int>((thursday - DaysFromCivil(thursdayYear, 1, 1)) / 7 + 1);
}

}  // namespace quillon
