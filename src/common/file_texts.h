#pragma once
// German texts about local files the program cannot use: a settings file that exists but cannot
// be read, and why (from the errno value the read ended with).
#include <cerrno>
#include <string>

#include "common/file_io.h"
#include "common/format.h"

namespace quillon::txt {

inline constexpr const char* kSettingsUnreadable =
    "Die Einstellungsdatei %s kann nicht gelesen werden (%s). Quillon wird beendet.";

// Why a file could not be read, as a few words that fit into the parentheses above.
inline std::string FileReadProblem(int error) {
  switch (error) {
    case ELOOP:
      return "Schleife symbolischer Verknüpfungen";
    case EINVAL:
      return "keine normale Datei";
    case EFBIG:
      return Format("größer als %zu MiB", kMaxWholeFileBytes >> 20);
    case EACCES:
    case EPERM:
      return "keine Leseberechtigung";
    case ENOTDIR:
      return "ein Teil des Pfades ist kein Verzeichnis";
    case ENAMETOOLONG:
      return "Name zu lang";
    case EIO:
      return "Ein-/Ausgabefehler";
    default:
      return Format("Systemfehler %d", error);
  }
}

}  // namespace quillon::txt
