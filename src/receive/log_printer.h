#pragma once
// The log printer: every logbook line is also printed when a printer is chosen ("LPT1:" to
// "LPT3:", here /dev/lp0 to /dev/lp2).
//
// The device is opened for every line and closed again, under TGlobalApp::PrinterLock. It is
// opened without blocking and never created, so a missing, busy or stalled printer costs a
// failed open or write and never holds up the main thread. Failures are not reported.
#include <string>

#include "config/settings_types.h"

namespace quillon {

// printf pattern of the device of printer n (1..3), filled with n - 1.
inline constexpr const char* kLogPrinterDevice = "/dev/lp%d";

struct LogPrinter {
  // Prints `line` (a tagged logbook line, UTF-8) followed by CR LF on the printer chosen by
  // LogPrinter, in Windows-1252 as the printer expects; nothing when LogPrinter is 0.
  void Print(TGlobalApp& global, const std::string& line) const;

  std::string devicePattern = kLogPrinterDevice;  // tests point it at a plain file
};

}  // namespace quillon
