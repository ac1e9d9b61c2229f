#pragma once
// The logbook of every port: the in-memory lists shown on the "Logbuch" page and kept in each
// port's PortLogFile, the external daily logbook and the log printer. Every line is appended to
// its port's file as it is added, so a crash loses none; the file is rewritten from the list at
// start, at exit and whenever it has grown too far beyond the list (LogbookFiles).
//
// Threads: every call runs on the main thread, which alone writes the logbook. Receive threads
// never call it; they append to their TMyThreads::LogLines, which TakeOver moves in. The lists
// are guarded by TGlobalApp::ListLock, which the receive threads share for their own lists, so
// Lines() may be called from anywhere.
#include <array>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "common/ui_sink.h"
#include "config/settings_types.h"
#include "receive/external_logbook.h"
#include "receive/log_printer.h"
#include "receive/logbook_append.h"
#include "receive/logbook_list.h"
#include "receive/my_threads.h"

namespace quillon {

// Port argument of AddLine addressing every port.
inline constexpr int kAllPorts = -1;

class Logbook {
 public:
  Logbook(AppContext& app, PortStatusArray& status, UiSink& ui);

  // Start-up, after the settings of the present ports are read: the external logbook's state
  // and file names (nothing deleted), then every port's list from its PortLogFile, trimmed to
  // the limits; a file holding more than the list is rewritten from it. An unreadable file (or
  // anything but a regular file) gives a new list and an error box, and is left as it is for
  // the whole run.
  void Load();

  // Exit: writes every list holding a line (all ports when port < 1) to its PortLogFile,
  // replacing the file whole; a failure is shown in an error box.
  void Save(int port);

  // One line for a port (1..8), or for every present, active port (PortActive) with kAllPorts.
  // A line for a port whose LogLevel is 0 is dropped. An empty text only refreshes the display.
  void AddLine(int port, const std::string& text);

  // Moves the pending LogLines of a port (all ports when port < 1) into the logbook; with
  // clearDataFlag the port's DataChanged is cleared first. `changed` is called for a port when
  // lines were taken over or forceDisplay is set.
  void TakeOver(int port, bool forceDisplay, bool clearDataFlag);

  // The program's start line in every port's logbook, and where the program keeps its files
  // when its own directory was not writable.
  void AddStartLines();
  // At exit, after reception stopped: the threads' last lines, the end line, all files saved.
  void CloseForExit();

  // Sets every port's ExtLogFile for the current day slot; deleteFiles deletes its files first.
  void UpdateExternalNames(bool deleteFiles);

  // A copy of a port's lines, oldest first.
  std::vector<std::string> Lines(int port) const;

  // Headless mode: every line as it is added, with its port tag (a line for all ports once per
  // port).
  std::function<void(const std::string& line)> echo;
  // The window rebuilds its logbook page when this port's list changed; kAllPorts: any port.
  std::function<void(int port)> changed;
  // The time of the lines and the day of the external logbook.
  std::function<std::time_t()> clock = [] { return std::time(nullptr); };
  // Where the printer numbers point.
  LogPrinter printer;

 private:
  static bool IsPort(int port) { return port >= 1 && port <= kPortCount; }
  // Adds without notifying the window; true when a list changed.
  bool Add(int port, const std::string& text);
  // The line as kept in the port's list, to the port's file.
  void WriteToFile(int port, const std::string& line);
  // The line of `port` for everything outside its in-memory list and file.
  void Distribute(int port, const std::string& taggedLine, std::time_t now);
  void LoadPort(int port);
  void Notify(int port);

  AppContext& app_;
  PortStatusArray& status_;
  UiSink& ui_;
  ExternalLogbook external_;
  LogbookFiles files_;
  std::array<LogbookList, kPortCount + 1> lists_;  // index 1..8, ListLock
};

}  // namespace quillon
