#pragma once
// Where the settings file, the logbooks and the temporary receive files live.
#include <string>
#include <vector>

#include "config/settings_types.h"

namespace quillon {

// The environment variable that names the data directory of an installed receiver (the service
// unit sets it to /var/lib/quillon).
inline constexpr const char* kDataDirVariable = "QUILLON_DATA_DIR";

// Fills ProgramDir, IniPath, ExePath, ExeDir and BaseName for the program file `exePath`. The
// directory holding the settings file, logbooks, local store and job file (ProgramDir, ExeDir)
// is the first that applies of:
//   1. the program's directory, when a settings file lies beside the program and the directory
//      is writable (portable use);
//   2. `dataDir` when it is not empty (created if missing);
//   3. the program's directory, when it is writable and not a system directory (/usr/, /bin/,
//      /sbin/): a program run from where it was built;
//   4. `homeDir`/.local/share/quillon/ (UsedFallbackDir), else the program's directory.
// Then "/ini<dir>" and "/dir<dir>" from `args` apply (in order, a later one wins).
TAppInfo InitPaths(const std::string& exePath, const std::vector<std::string>& args,
                   const std::string& homeDir, const std::string& dataDir);

// The directory whose "ComRemap.ini" redirects the ports: the data directory (ExeDir) when the
// file lies there, else the program's own directory.
std::string ComRemapDirectoryFor(const TAppInfo& info);

// The data directory named by the environment (kDataDirVariable), or "" when it is not set.
std::string DataDirFromEnvironment();

// PortLogFile[n] = ProgramDir + base name + "_com" + n + ".log" for n = 1..8.
void BuildPortLogFiles(const TAppInfo& info, TGlobalApp& global);

// The home directory of the user ($HOME, else the password database).
std::string HomeDirectory();

}  // namespace quillon
