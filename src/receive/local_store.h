#pragma once
// The local store of a port: a directory beside the program that keeps received data whose
// target could not be written, as "Daten(00001).dat", "Daten(00002).dat", ... until a later
// reception moves them to the target.
#include <optional>
#include <string>
#include <vector>

namespace quillon {

inline constexpr int kMaxLocalFileNumber = 99999;

// programDir (ending in '/') + "Temp. Daten von COM<port>/".
[[nodiscard]] std::string LocalStoreDir(const std::string& programDir, int port);

// "Daten(" + number in five digits + ").dat".
[[nodiscard]] std::string LocalFileName(int number);

// The number of a local file name ("Daten(00042).dat" -> 42), or nothing for any other name.
[[nodiscard]] std::optional<int> LocalFileNumber(const std::string& fileName);

// One more than the highest number among the local files in `dir`, 1 when there are none.
// Nothing when the directory cannot be read or every number is taken.
[[nodiscard]] std::optional<int> NextLocalFileNumber(const std::string& dir);

// The full names of the local files in `dir`, oldest (lowest number) first. Nothing when the
// directory cannot be read; empty when it does not exist.
[[nodiscard]] std::optional<std::vector<std::string>> ListLocalFiles(const std::string& dir);

}  // namespace quillon
