#pragma once
// The command interpreter for command transfers: a terminal sends records such as
// "$exec import$" or "$fileinfo daten.txt$" instead of data, and the PC starts programs,
// deletes files and answers questions about files and free space. Answers and errors go back
// to the terminal as a short transfer of their own; everything is logged.
//
// Runs on the port's receive thread while it holds the open port.
//
// A command's argument comes from the terminal and is handled as untrusted text: it is only
// ever one file name (never split, never given to a shell); a relative name lies in the program
// directory, an absolute one is used as given. The program's own files (settings, logbooks,
// temporary and local-store files, the program itself) are refused as if they were missing.
#include <functional>
#include <string>

#include "config/settings_types.h"
#include "protocols/ack_nak.h"
#include "receive/port_reporter.h"

namespace quillon {

struct CommandContext {
  int port;
  TOrvAckNak& ackNak;      // the open port; replies are sent on it
  const TQuillonOpt& opt;  // the port's settings (LogLevel)
  std::string programDir;  // bare file names are taken from here; its free space is reported
  PortReporter& reporter;
  std::function<void()> v24open;   // "$v24open": the receive thread decides what it means
  std::function<void()> v24close;  // "$v24close": must not wait for the calling thread's end
  // Where the program's own files are. Without it only those beside `programDir` (temporary
  // receive files, local stores, external logbooks by default) and the program are known.
  const AppContext* app = nullptr;
  // "$tx" and "$s^update". `wait` sleeps before a send and says false when the thread is to end
  // instead; `sendUpdate` runs the DL send of a file, closing the port around it and opening it
  // again (a negative code on failure); `resetCounters` clears the port's shown counters and
  // file name after a send. Without `sendUpdate` "$s^update" fails like a failed send.
  std::function<bool(int ms)> wait{};
  std::function<int(const std::string& file, const TOrvAckNak::Progress& progress)> sendUpdate{};
  std::function<void()> resetCounters{};
  std::string pollAddress{};  // the address polled last while polling is on
};

// Executes every line of `commandFile` and deletes the file afterwards. A line without a
// command is skipped silently when it is the first line (a header record), otherwise logged.
// The result is that of the last command executed; false when there was none.
[[nodiscard]] bool RunCommands(CommandContext& ctx, const std::string& commandFile);

}  // namespace quillon
