#pragma once
// The stations of one radio network and what each does with a command: satellites relay the
// records of the terminals in their range (released to their buffer only while they poll) and
// take records for those terminals; stationary terminals hold their own records. The
// conversation on the line (framing, stored-data lines one by one, faults of the line) is
// left to the caller.
#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "sat_options.h"
#include "sat_report.h"
#include "terminal_feed.h"

namespace sim {

struct StoredLine {
  FeedLine line;
  bool sent = false;
};

// A record a satellite took for a terminal, and how many delivery questions it still answers
// with "<DEL>".
struct OutgoingRecord {
  std::string text;
  int questionsLeft = 0;
  bool delivered = false;
};

struct Station {
  bool satellite = true;
  int number = 0;  // satellite ID or terminal number
  std::uint8_t address = 0;
  std::string bios;
  int firstTerm = 0;
  int lastTerm = -1;
  int switching = 0;
  int deliverAfter = 0;
  int refuseLeft = 0;
  int rate = 0;         // the only rate it hears and sends at; 0: any
  int pendingRate = 0;  // set by "L", in force once its reply is out
  int delayMs = 0;
  StationFaults faults;

  bool polling = false;
  int switchingLeft = 0;
  long requests = 0;
  long replies = 0;
  std::deque<StoredLine> buffer;
  std::size_t toConfirm = 0;  // lines of the last complete read, taken over by "1*"
  std::set<int> open;         // terminals with an open "O" transfer
  std::map<int, OutgoingRecord> outgoing;

  // How the station appears in events: the satellite ID, or "T" and the terminal number.
  std::string Label() const;
  bool Covers(int term) const { return satellite && term >= firstTerm && term <= lastTerm; }
  // Whether it makes out what is sent on a line running at `baud` (0: unknown, taken as its own).
  bool Hears(int baud) const { return rate == 0 || baud == 0 || baud == rate; }
};

class SatNetwork {
 public:
  SatNetwork(const SatOptions& options, SatReport& report);

  // Every station at `address`: several satellites may share one.
  std::vector<Station*> FindAll(std::uint8_t address);
  // Counts a request to `station`; false when the station leaves it unanswered (muted or in
  // its offline window).
  bool Answers(Station& station);
  // Counts a reply frame of `station`; true when it is to carry a wrong checksum.
  bool SpoilReply(Station& station);

  // Reply data to every command but "0*". An "L" reply goes out at the rate the satellite had;
  // it takes its new rate from the next request on.
  std::string Handle(Station& station, const std::string& command);
  // "0*": the replies to send one by one (a stationary terminal's header, the stored lines, the
  // end marker); `dataFrom` is the index of the first stored line among them.
  std::vector<std::string> StartRead(Station& station, std::size_t& dataFrom);
  void MarkSent(Station& station, std::size_t index);
  // The end marker has gone out after `lines` stored lines.
  void ReadComplete(Station& station, std::size_t lines);

  // The closing summary, one event line each.
  std::vector<std::string> Summary() const;

 private:
  TerminalFeed MakeFeed(int term) const;
  TerminalFeed& Feed(int term);
  void StartPolling(Station& station);
  std::string StopPolling(Station& station);
  std::string Status(Station& station);
  void PollingOff(Station& station);
  std::string Confirm(Station& station);
  std::string Configure(Station& station, const std::string& command);
  std::string ForTerminal(Station& station, const std::string& command);
  void Accept(Station& station, int term, const std::string& text);

  const SatOptions& options_;
  SatReport& report_;
  FeedStyle style_;
  std::vector<Station> stations_;
  std::map<int, TerminalFeed> feeds_;  // radio terminals
  long sent_ = 0;
  long confirmed_ = 0;
  long accepted_ = 0;
};

}  // namespace sim
