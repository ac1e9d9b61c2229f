// The radio network through `quillon /headless` against the satellite simulator: the records of
// satellites in two groups and of a stationary terminal stored once each, also across a broken
// read and a restarted terminal counter; satellites reported online and offline once per
// change; the debug files; two networks never on the air together.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <map>
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

// Each of `count` records stored once, all of them data.
void ExpectStoredOnce(const std::string& file, size_t count) {
  std::vector<std::string> lines = Lines(ReadBytes(file));
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines.size(), count) << ReadBytes(file);
  EXPECT_EQ(std::adjacent_find(lines.begin(), lines.end()), lines.end()) << ReadBytes(file);
  EXPECT_EQ(Count(ReadBytes(file), ";;"), 0u) << "no counter marks: " << ReadBytes(file);
}

// A radio port storing every record appended to one file.
void RadioPort(Station& s, int port, const std::string& target, int baud = 9600) {
  s.Port(port, {{Key(kS2, "Protokoll"), "1"},
                {Key(kS3, "Dateiname"), s.dir.File(target)},
                {Key(kS3, "Dateimodus"), "1"},
                {Key("Schnittstellenparameter f\xFCr COM%d:", "Baudrate"), std::to_string(baud)}});
}

TEST(RadioNetwork, RecordsOfTwoGroupsStoredOnceEach) {
  Station s;
  ASSERT_TRUE(
      s.Terminal(1, {"satellites", "--sat", "1,terms=1-2,bad-checksum=3", "--sat",
                     "2,terms=3-4,offline=12-40", "--station", "50", "--records", "3", "--burst",
                     "0", "--term-id", "--counter", "--restart", "3:2", "--stay"}));
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
    return out.find("Satellit 02 ist online", out.find("Satellit 02 ist offline")) !=
           std::string::npos;
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
  ExpectStoredOnce(s.dir.File("funk.dat"), 15);
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

// Polling windows of a simulator's satellites ("POLLING <id> ON|OFF <seconds>"), as times when
// any of them was on the air; one still on at the end lasts for ever.
std::vector<std::pair<double, double>> OnAir(const std::string& events) {
  std::vector<std::pair<double, double>> windows;
  std::map<std::string, double> since;
  std::istringstream in(events);
  for (std::string word, id, state; in >> word;) {
    if (word != "POLLING") continue;
    double at = 0;
    in >> id >> state >> at;
    if (state == "ON") {
      since.emplace(id, at);
    } else if (auto on = since.find(id); on != since.end()) {
      windows.emplace_back(on->second, at);
      since.erase(on);
    }
  }
  for (const auto& [id, at] : since) windows.emplace_back(at, std::numeric_limits<double>::max());
  return windows;
}

void NetworkFile(Station& s, int port, const std::string& content) {
  WriteBytes(s.dir.File("Tembra_COM" + std::to_string(port) + ".ini"), content);
}

// Two networks in one process share the radio channel: while a group of one is on the air, no
// satellite of the other polls.
TEST(RadioNetwork, TwoPortsNeverOnTheAirTogether) {
  Station s;
  for (int port : {1, 2}) {
    const std::string first = std::to_string(port * 10 + 1), second = std::to_string(port * 10 + 2);
    ASSERT_TRUE(s.Terminal(
        port, {"satellites", "--sat", first + ",terms=1-2", "--sat", second + ",terms=3-4",
               "--records", "2", "--burst", "0", "--term-id", "--counter"}));
    NetworkFile(s, port,
                "[Satelliten]\r\n" + first + "=A,1,2\r\n" + second +
                    "=B,3,4\r\n"
                    "[Gruppen]\r\nA=" +
                    first + "\r\nB=" + second + "\r\n");
    // The second line runs faster: its satellites are set up at its rate.
    RadioPort(s, port, "funk" + std::to_string(port) + ".dat", port == 1 ? 9600 : 19200);
  }
  ASSERT_TRUE(s.StartReceiver());
  auto stored = [&](int port) {
    return Lines(ReadBytes(s.dir.File("funk" + std::to_string(port) + ".dat"))).size();
  };
  for (int waited = 0; (stored(1) < 8 || stored(2) < 8) && waited < 3 * kWaitMs; waited += 100) {
    (void)s.receiver.WaitForOutput("\x01", 100);
  }
  EXPECT_EQ(s.StopReceiver(), 0);
  ExpectStoredOnce(s.dir.File("funk1.dat"), 8);
  ExpectStoredOnce(s.dir.File("funk2.dat"), 8);
  std::vector<std::pair<double, double>> windows[2];
  for (int port : {1, 2}) {
    s.sims[port]->Signal(SIGTERM);
    (void)s.sims[port]->Wait(kWaitMs);
    windows[port - 1] = OnAir(s.sims[port]->out());
    EXPECT_GE(windows[port - 1].size(), 2u) << s.sims[port]->out();
  }
  for (const auto& a : windows[0]) {
    for (const auto& b : windows[1]) {
      EXPECT_TRUE(a.second <= b.first || b.second <= a.first)
          << "on the air together: " << a.first << "-" << a.second << " and " << b.first << "-"
          << b.second;
    }
  }
}

// A send from the command line borrows the radio port as it opens; the network starts after the
// send and stores everything. (A network that already runs is paused in the reception tests.)
TEST(RadioNetwork, PausedForASendAndResumed) {
  Station s;
  ASSERT_TRUE(s.Terminal(1, {"satellites", "--sat", "1,terms=1-2", "--records", "3", "--burst", "0",
                             "--term-id", "--counter", "--stay"}));
  // The line stays open while the receiver closes its side, as a real line does.
  const int holder = open(s.Line(1).c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(holder, 0);
  NetworkFile(s, 1, "[Satelliten]\r\n1=Halle,1,2\r\n[Gruppen]\r\nA=1\r\n");
  WriteBytes(s.dir.File("senden.txt"), "an alle\r\n");
  RadioPort(s, 1, "funk.dat");
  ASSERT_TRUE(s.StartReceiver({"/com1 tx:" + s.dir.File("senden.txt")}));
  ASSERT_TRUE(s.receiver.WaitForOutput("Schnittstelle wird für den Datenempfang wieder geöffnet",
                                       3 * kWaitMs))
      << s.receiver.out();
  auto stored = [&] { return Lines(ReadBytes(s.dir.File("funk.dat"))); };
  for (int waited = 0; stored().size() < 6 && waited < 3 * kWaitMs; waited += 100) {
    (void)s.receiver.WaitForOutput("\x01", 100);
  }
  EXPECT_EQ(s.StopReceiver(), 0);
  close(holder);
  const std::string& log = s.receiver.out();
  const size_t closed = log.find("Schnittstelle wird für den Datenempfang geschlossen");
  const size_t send = log.find("senden.txt", closed);
  const size_t reopened = log.find("wieder geöffnet", closed);
  EXPECT_TRUE(closed < send && send < reopened) << log;
  ExpectStoredOnce(s.dir.File("funk.dat"), 6);
}

}  // namespace
}  // namespace quillon
