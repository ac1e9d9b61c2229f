#pragma once
// How some fields of the setup dialog turn what the user entered or chose into settings.
// Plain text rules, kept apart from the widgets.
#include <string>

#include "config/settings_types.h"

namespace quillon {

// The target file name as reception would build it now: placeholders expanded with the current
// date and time, and in the sequential mode "%lfd" replaced by the first number with its digits.
std::string PreviewFileName(const TQuillonOpt& opt);

// The program call for a program chosen in the file dialog: its path (quoted when it holds a
// blank), then "%datei" in double quotes and "%com".
std::string ProgramCallForChosenFile(const std::string& path);
// The program call for a file dropped on the field: its path followed by " %datei %com".
std::string ProgramCallForDroppedFile(const std::string& path);
// The program a call names, for the file dialog to start with: "%datei", "%com" and the quotes
// around them removed.
std::string ProgramOfCall(const std::string& call);

// The directory of the external logbook as the field is left: a "/" appended when missing (an
// empty field stays empty, meaning no directory).
std::string ExtLogDirOnLeave(const std::string& text);

// `text` with blanks and tabs at both ends removed.
std::string Trimmed(const std::string& text);
// `text` with every blank removed.
std::string WithoutBlanks(const std::string& text);

}  // namespace quillon
