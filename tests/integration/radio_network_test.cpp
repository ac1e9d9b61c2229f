// The radio network through `quillon /headless` against the satellite simulator: the records of
// satellites in two groups and of a stationary terminal stored once each, also across a broken
// read and a restarted terminal counter; satellites reported online and offline once per
// change; the debug files; two networks never on the air together.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "support/station.h"

namespace quillon {
namespace {

using test::Key;
using test::kS2;
using test::kS3;
using test::kWaitMs;
using test::ReadBytes;
using test::Station;
using test::WriteBytes;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// A radio port storing every record appended to one file.
void RadioPort(Station& s, int port, const std::string& target) {
  s.Port(port, {{Key(kS2, "Protokoll"), "1"},
                {Key(kS3, "Dateiname"), s.dir.File(target)},
                {Key(kS3, "Dateimodus"), "1"}});
}

TEST(RadioNetwork, RecordsOfTwoGroupsStoredOnceEach) {
  Station s;
  ASSERT_TRUE(s.Terminal(1, {"satellites", "--sat", "1,terms=1-2,bad-checksum=3", "--sat",
                             "2,terms=3-4,offline=12-40", "--station", "50", "--records", "3",
                             "--burst", "0", "--term-id", "--counter", "--restart", "3:2",
                             "--stay"}));
  WriteBytes(s.dir.File("Tembra_COM1.ini"),
             "[Terminals]\r\n50=Waage\r\n"
             "[Satelliten]\r\n1=Halle,1,2\r\n2=Hof,3,4\r\n"
             "[Gruppen]\r\nA=1\r\nB=2\r\n"
             "[Optionen]\r\nDebuglevel=1\r\nDebug=1\r\n");
  RadioPort(s, 1, "funk.dat");
  ASSERT_TRUE(s.StartReceiver());
  // Satellite 02 goes offline once its window starts; its return is told at a later look.
  ASSERT_TRUE(s.receiver.WaitForOutput("Satellit 02 ist offline", 3 * kWaitMs)) << s.receiver.out();
  ASSERT_TRUE(s.sims[1]->WaitForOutput("ONLINE 2", 3 * kWaitMs));
  const auto backOnline = [&] {
    const std::string& out = s.receiver.out();
    return out.find("Satellit 02 ist online", out.find("Satellit 02 ist offline")) != std::string::npos;
  };
  for (int waited = 0; !backOnline() && waited < 3 * kWaitMs; waited += 100) {
    (void)s.receiver.WaitForOutput("\x01", 100);
  }
  // 4 terminals of the satellites and the stationary one, 3 records each.
  auto stored = [&] { return Lines(ReadBytes(s.dir.File("funk.dat"))); };
  for (int waited = 0; stored().size() < 15 && waited < 3 * kWaitMs; waited += 100) {
    (void)s.receiver.WaitForOutput("\x01", 100);
  }
  EXPECT_EQ(s.StopReceiver(), 0);
  std::vector<std::string> lines = stored();
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(std::adjacent_find(lines.begin(), lines.end()), lines.end()) << "each record once";
  EXPECT_EQ(lines.size(), 15u) << ReadBytes(s.dir.File("funk.dat"));
  for (const char* term : {"T001", "T002", "T003", "T004", "T050"}) {
    for (const char* nr : {"R1", "R2", "R3"}) {
      EXPECT_EQ(Count(ReadBytes(s.dir.File("funk.dat")), std::string(term) + nr), 1u) << term << nr;
    }
  }
  EXPECT_EQ(Count(ReadBytes(s.dir.File("funk.dat")), "003-1T003R2"), 1u)
      << "the restarted counter's record is data";
  const std::string& log = s.receiver.out();
  EXPECT_EQ(Count(log, "Satellit 01 ist online"), 1u);
  EXPECT_EQ(Count(log, "Satellit 02 ist offline"), 1u) << "told once while it stays offline";
  EXPECT_TRUE(backOnline()) << log;
  EXPECT_LE(Count(log, "Satellit 02 ist online"), 2u) << "at most at the start and when it is back";
  EXPECT_NE(ReadBytes(s.dir.File("Term003.Dat")).find("Datensatz vom Terminal empfangen"),
            std::string::npos);
  EXPECT_NE(ReadBytes(s.dir.File("Tembra_COM1-Debug.txt")).find("Aktiviere Gruppe <B>"),
            std::string::npos);
}

}  // namespace
}  // namespace quillon
