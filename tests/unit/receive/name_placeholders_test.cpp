#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "receive/calendar_week.h"
#include "receive/drive_ready.h"
#include "receive/placeholders.h"
#include "receive/sequential_name.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::TempDir;
using test::WriteBytes;

std::tm At(int year, int month, int day, int hour = 7, int minute = 8, int second = 9) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return tm;
}

TEST(CalendarWeek, YearBoundaries) {
  struct Case {
    int year, month, day, week;
  };
  const Case cases[] = {
      {2024, 12, 31, 1}, {2021, 1, 1, 53}, {2021, 1, 3, 53}, {2021, 1, 4, 1},   {2020, 12, 31, 53},
      {2022, 1, 1, 52},  {2023, 1, 1, 52}, {2023, 1, 2, 1},  {2019, 12, 30, 1}, {2026, 12, 31, 53},
      {2027, 1, 1, 53},  {2024, 3, 5, 10}, {2000, 2, 29, 9}, {2016, 1, 3, 53},  {2024, 12, 29, 52},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CalendarWeek(c.year, c.month, c.day), c.week)
        << c.day << "." << c.month << "." << c.year;
  }
}

TEST(CalendarWeek, AgreesWithTheCLibraryOverFiftyYears) {
  std::tm tm = At(1990, 1, 1, 12, 0, 0);
  std::time_t t = timegm(&tm);
  for (int i = 0; i < 50 * 366; ++i, t += 86400) {
    std::tm day{};
    gmtime_r(&t, &day);
    char iso[8];
    std::strftime(iso, sizeof iso, "%V", &day);
    ASSERT_EQ(CalendarWeek(day.tm_year + 1900, day.tm_mon + 1, day.tm_mday), std::stoi(iso))
        << day.tm_mday << "." << day.tm_mon + 1 << "." << day.tm_year + 1900;
  }
}

TEST(Placeholders, ReplacesEveryPartInOrder) {
  struct Case {
    const char* tmpl;
    bool sequential;
    std::tm now;
    const char* name;
  };
  const Case cases[] = {
      {"/in/d%t%m%j.%lfd", true, At(2024, 3, 5), "/in/d050324.%lfd"},
      {"/in/d%t%m%j.%lfd", false, At(2024, 3, 5), "/in/d050324."},
      {"/in/%jhd/%j%lfd.dat", false, At(2024, 3, 5), "/in/2024/24.dat"},
      {"%H%M%S_%H", false, At(2024, 3, 5, 23, 4, 5), "230405_23"},
      {"kw%kw", false, At(2024, 12, 31), "kw01"},
      {"kw%kw", false, At(2021, 1, 1), "kw53"},
      {"%t%t%m%M", false, At(2009, 1, 2, 3, 4, 5), "02020104"},
      {"%j", false, At(2005, 6, 7), "05"},
      {"%T%J%lf%LFD", false, At(2024, 3, 5), "%T%J%lf%LFD"},
      {"a%lfdb%lfd", false, At(2024, 3, 5), "ab"},
      {"", false, At(2024, 3, 5), ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExpandPlaceholders(c.tmpl, c.sequential, 3, c.now), c.name)
        << c.tmpl << (c.sequential ? " sequential" : "");
  }
}

TEST(Placeholders, NowUsesTheLocalDate) {
  const std::tm now = LocalTimeNow();
  char expected[16];
  std::strftime(expected, sizeof expected, "%Y", &now);
  EXPECT_EQ(ExpandPlaceholders("%jhd", false, 1), expected);
}

TEST(SequentialName, FirstFreeNumberAndOverflow) {
  TempDir dir;
  const std::string d = dir.path() + "/";
  WriteBytes(d + "d050324.001", "x");
  WriteBytes(d + "d050324.002", "x");
  EXPECT_EQ(ResolveSequential(d + "d050324.%lfd", 3, 1), d + "d050324.003")
      << "the first free number after the taken ones";

  EXPECT_EQ(ResolveSequential(d + "daten.dat", 1, 0), d + "daten.dat.0")
      << "without %lfd the number is appended";

  WriteBytes(d + "g.000", "x");
  WriteBytes(d + "g.002", "x");
  EXPECT_EQ(ResolveSequential(d + "g.%lfd", 3, 0), d + "g.001") << "a gap is filled first";

  std::filesystem::create_directory(d + "sub%lfd");
  EXPECT_EQ(ResolveSequential(d + "sub%lfd/f%lfd", 1, 0), d + "sub0/f0")
      << "every %lfd is replaced";

  for (int n = 0; n <= 9; ++n) WriteBytes(d + "full." + std::to_string(n), "x");
  EXPECT_EQ(ResolveSequential(d + "full", 1, 0), d + "Ueberlauf.1") << "all ten numbers taken";
  WriteBytes(d + "Ueberlauf.1", "x");
  EXPECT_EQ(ResolveSequential(d + "full", 1, 0), d + "Ueberlauf.2");
  EXPECT_EQ(ResolveSequential(d + "late", 1, 10), d + "Ueberlauf.2")
      << "a first number that does not fit overflows at once";
  EXPECT_EQ(ResolveSequential(d + "x", 2, 7), d + "x.07");
}

TEST(SequentialName, DriveNotReadyGivesTheFirstCandidate) {
  EXPECT_EQ(ResolveSequential("relative/d.%lfd", 2, 3), "relative/d.03");
}

TEST(StoreDrive, ReadyOnlyForAbsolutePathsOnALiveFileSystem) {
  TempDir dir;
  WriteBytes(dir.File("file"), "x");
  struct Case {
    std::string path;
    bool ready;
  };
  const Case cases[] = {
      {"/", true},
      {dir.path(), true},
      {dir.File("missing/deeper/name.dat"), true},
      {dir.File("file/below/a/file"), true},
      {"daten.dat", false},
      {"in/daten.dat", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(DriveReady(c.path), c.ready) << c.path;
}

TEST(StoreDrive, DriveIsTheMountPoint) {
  EXPECT_EQ(DriveOf("/"), "/");
  EXPECT_EQ(DriveOf("/proc/self/not/there"), "/proc") << "the nearest existing ancestor decides";
  EXPECT_EQ(DriveOf("daten.dat"), "daten.dat");
  EXPECT_EQ(DriveOf("in/daten.dat"), "in/daten.dat");
  TempDir dir;
  EXPECT_EQ(DriveOf(dir.File("a/b")), DriveOf(dir.path()));
}

}  // namespace
}  // namespace quillon
