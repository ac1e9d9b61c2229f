#pragma once
// Whether a target path can be written to at all, and the "drive" that messages name for it.
//
// A path is ready when it is absolute and the file system of its nearest existing ancestor
// answers statvfs. Relative paths are never ready. The drive of a path is the mount point of
// that file system (for a relative path: the path itself).
#include <string>

namespace quillon {

[[nodiscard]] bool DriveReady(const std::string& path);

// The mount point holding `path` (e.g. "/" or "/mnt/share"), as used in "Laufwerk %s: ist nicht
// bereit" and "Genereller Zugriffsfehler auf Laufwerk %s (%d)".
[[nodiscard]] std::string DriveOf(const std::string& path);

}  // namespace quillon
