#pragma once
// The port logbook files while the program runs. A line reaches its port's file as soon as it
// is added to the in-memory list: appended with one write(2) on an O_APPEND descriptor, so it
// survives a crash of the program. Between rewrites from the list (at start, at exit) a file may
// hold more than the list's limits; once it has grown by kLogbookFileGrowthBytes since its last
// rewrite it is rewritten from the list, so a receiver running for months cannot fill the disk.
//
// Only regular files are written: a symbolic link, FIFO or device standing in a logbook file's
// place is never written through. Main thread only.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "common/ui_sink.h"
#include "config/settings_types.h"
#include "receive/logbook_list.h"

namespace quillon {

inline constexpr size_t kLogbookFileGrowthBytes = 4 * kLogbookMaxChars;

// True when `path` names a regular file or nothing; a symbolic link counts as itself.
bool IsRegularFileOrMissing(const std::string& path);

// Appends `bytes` to the regular file `path` (created when missing) with one write(2). Refused
// when anything else stands under that name, or the file has no write permission bit (also for
// root). A line written only in part is cut off again, so the next line starts on its own.
[[nodiscard]] bool AppendToRegularFile(const std::string& path, const std::string& bytes);

// The file side of every port's logbook, named by TGlobalApp::PortLogFile. A failed write shows
// the error box "Fehler beim Speichern der Logbuchdatei %s" once, until a write of that port
// succeeds again.
class LogbookFiles {
 public:
  LogbookFiles(const TGlobalApp& global, UiSink& ui) : global_(global), ui_(ui) {}

  // The port's file could not be loaded: it is left as it is for the rest of the run.
  void LeaveAlone(int port);
  // Appends one logbook line (without line break) to the port's file.
  void Append(int port, const std::string& line);
  // True when the port's file has grown by more than kLogbookFileGrowthBytes since its last
  // rewrite.
  bool RewriteDue(int port) const;
  // Replaces the port's file with `lines` atomically.
  void Rewrite(int port, const std::vector<std::string>& lines);

 private:
  struct PortFile {
    bool leftAlone = false;
    bool failureShown = false;
    size_t grownBytes = 0;  // appended since the last rewrite
  };
  void Report(int port, bool written);

  const TGlobalApp& global_;
  UiSink& ui_;
  std::array<PortFile, kPortCount + 1> ports_{};  // index 1..8
};

}  // namespace quillon
