#pragma once
// Where the settings file, the logbooks and the temporary receive files live.
#include <string>
#include <vector>

#include "config/settings_types.h"

namespace quillon {

// Fills ProgramDir, IniPath, ExePath, ExeDir and BaseName for the program file `exePath`, then
// applies "/ini<dir>" and "/dir<dir>" from `args` (in order, a later one wins). When the
// program's directory is not writable, ProgramDir and the settings file move to
// `homeDir`/.local/share/quillon/ (UsedFallbackDir).
TAppInfo InitPaths(const std::string& exePath, const std::vector<std::string>& args,
                   const std::string& homeDir);

// PortLogFile[n] = ProgramDir + base name + "_com" + n + ".log" for n = 1..8.
void BuildPortLogFiles(const TAppInfo& info, TGlobalApp& global);

// The home directory of the user ($HOME, else the password database).
std::string HomeDirectory();

}  // namespace quillon
