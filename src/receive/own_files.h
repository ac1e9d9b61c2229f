#pragma once
// The program's own files: settings file, job file, ComRemap.ini, logbooks, temporary receive
// files, the local stores and the program itself. Nothing a terminal sends may read, delete,
// start or overwrite them, whatever name it uses for them.
#include <string>

#include "config/settings_types.h"

namespace quillon {

// True when `path` (relative names count from the current directory) is one of the program's
// own files, or lies inside a local-store directory. Symbolic links are followed, and the
// name itself counts too, so neither a link to an own file nor a link standing in an own file's
// place passes; an existing file is also compared by device and inode, which catches hard
// links. A name that does not exist yet is compared by its directory and last component, so
// the answer holds for a file about to be created. The rewrite temporaries of the settings,
// job and logbook files (".<name>.XXXXXX" beside them) count as well. A name holding a NUL
// byte counts as own: cut at the NUL, it might be one.
[[nodiscard]] bool IsProgramFile(const AppContext& app, const std::string& path);

}  // namespace quillon
