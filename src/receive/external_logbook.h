#pragma once
// The external daily logbook: every logbook line is also appended to a file per port and day
// slot, "<ExtLogDir>COM<n>_Logbuch<slot>.txt". The slots 1..ExtLogDays are used in turn, one
// per day; when a new day takes over a slot, that slot's old files are deleted first. The slot
// and its date are kept in the settings file ("Letzte externe Protokolldatei") so that a restart
// on the same day goes on writing the same files.
//
// Main thread only. The files are opened and closed for every line (UTF-8, CR LF), each line
// written with one write(2), so it is in the file when Append returns. Only regular files are
// written: a symbolic link, FIFO or device in a file's place is refused.
#include <ctime>
#include <set>
#include <string>

#include "common/ui_sink.h"
#include "config/settings_types.h"

namespace quillon {

// The file of a port in a day slot, in `dir` (a missing final '/' is added).
std::string ExternalLogbookFileName(const std::string& dir, int port, int slot);

class ExternalLogbook {
 public:
  ExternalLogbook(AppContext& app, UiSink& ui) : app_(app), ui_(ui) {}

  // ExtLogIndex and ExtLogDate from the settings file (-1 and no date when absent).
  void ReadState();

  // Sets every port's ExtLogFile for the current ExtLogIndex, or empties it when ExtLogDays is
  // below 1 or no slot is chosen yet. With deleteFiles the slot's files are deleted first.
  void UpdateNames(bool deleteFiles);

  // The day check, then `line` and CR LF appended to the port's ExtLogFile when it is set.
  // A file that cannot be written is reported once, until it is written again or the names
  // change.
  void Append(int port, const std::string& line, std::time_t now);

 private:
  // On a new day: the next slot (after the last one, slot 1 again), its date saved, its old
  // files deleted.
  void CheckDay(std::time_t now);
  std::string Directory() const;

  AppContext& app_;
  UiSink& ui_;
  std::set<std::string> reportedFailures_;
};

}  // namespace quillon
