#pragma once
// Post-processing: after a successful reception a port may start a configured program, usually
// an importer for the file just stored, with the stored file's name and the port number filled
// into its command-line template.
//
// Runs on the port's receive thread; while it waits for the program, that port receives
// nothing, the other ports go on.
#include <string>

#include "config/settings_types.h"
#include "receive/port_reporter.h"

namespace quillon {

// Fills the template: every "%datei" becomes `lastStoredFile`, every "%com" the port number in
// decimal. Case-sensitive ("%DATEI" stays), and text that was inserted is never searched for
// placeholders again (a file name holding "%com" arrives unchanged).
//
// The result is split by the usual quoting rules (see SplitCommandLine): a file name with
// blanks must be quoted in the template by the user ("\"%datei\""), it is not quoted here, so
// that templates that already quote it keep working.
std::string BuildProgramCall(const std::string& tmpl, const std::string& lastStoredFile, int port);

// Starts the port's program by its CallMode (0 none, 1 start, 2 start and wait for the end)
// and reports the start, a failure, the end and the duration. A program that fails to start
// or fails while running never touches the stored data: the reception is already settled.
void PostProcess(int port, const TQuillonOpt& opt, const std::string& lastStoredFile,
                 const std::string& programDir, PortReporter& reporter);

}  // namespace quillon
