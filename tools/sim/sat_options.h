#pragma once
// The command line of "quillon-sim satellites": the stations of one radio network, the records
// their terminals send, the faults to play and the output files, as plain structs filled by
// ParseSatOptions() without side effects.
#include <string>
#include <vector>

namespace sim {

// Faults of one station, counted by the requests addressed to it (the first request is 1).
struct StationFaults {
  bool muteAll = false;  // never answers
  long muteFirst = 0;    // leaves requests 1..muteFirst unanswered
  long muteFrom = 0;     // answers nothing from this request on (0: never)
  long offlineFrom = 0;  // offline for requests offlineFrom..offlineTo, then back
  long offlineTo = 0;
  std::vector<long> badChecksum;  // numbers of its reply frames sent with a wrong checksum
};

struct SatelliteSetup {
  int id = 0;                // 1..99, on the wire id + 100
  std::string bios = "6.2";  // major digit, '.', minor digits
  int firstTerm = 1;
  int lastTerm = 16;
  int switching = 0;     // replies showing "<SYS>"/"<RUN>" after each stop of polling
  int deliverAfter = 0;  // "D" questions answered "<DEL>" before "<ACK>"
  int refuse = 0;        // records for terminals ("O"/"W") answered "<NAK>" first
  int rate = 0;          // the only rate it hears and sends at; 0: any, until an "L"
  int delayMs = 0;       // waits this long before each reply
  StationFaults faults;
};

struct StationSetup {
  int number = 0;  // 1..100, on the wire as is
  StationFaults faults;
};

// One event in the record sequence of one terminal: at its record number `record`.
struct TermEvent {
  int term = 0;
  long record = 0;
};

struct SatOptions {
  bool help = false;

  bool pty = false;
  std::string printPath;
  std::string device;
  int baud = 9600;
  int openTimeoutMs = 30000;
  bool pace = false;
  bool stay = false;  // the PC may close the line and open it again

  std::vector<SatelliteSetup> satellites;
  std::vector<StationSetup> stations;

  long records = 0;  // per terminal
  long burst = 1;    // lines per terminal released at each start of polling (0: all)
  bool termId = false;
  bool counter = false;
  bool binaryDigits = false;
  std::string recordText = "T{T}R{N}";
  std::vector<TermEvent> restarts;
  std::vector<TermEvent> pings;

  std::string acceptedFile;
  std::string confirmedFile;
  std::string logFile;
};

// Parses argv[2..] (argv[1] is "satellites"). On a usage error returns false with a German
// message in `error`.
bool ParseSatOptions(int argc, char** argv, SatOptions& options, std::string& error);

// The German help text of the mode.
const char* SatHelpText();

}  // namespace sim
