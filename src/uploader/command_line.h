#pragma once
// The uploader's command line and the small text rules of its display.
#include <optional>
#include <string>
#include <vector>

namespace sollex {

struct CommandLine {
  std::optional<std::string> file;  // "/f<file>"
  std::optional<int> portIndex;     // "/pN": N - 1, COM1..COM8
  std::optional<int> rateIndex;     // "/bN": 38400 -> 1, 57600 -> 2, anything else -> 0
};

// The arguments without the program name; the option letters may be upper or lower case,
// anything else is ignored.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// A path longer than 60 characters as its first 25 characters, "..." and its last 25.
std::string ShortPath(const std::string& path);

// Rate index from a stored value: not a number gives `fallback`, above 2 is 2.
int RateIndexFrom(const std::string& value, int fallback);
// Port index from a stored value, 0..7, else `fallback`.
int PortIndexFrom(const std::string& value, int fallback);

// The upper-case extension of a path without the dot ("HEX"), empty without one.
std::string UpperExtension(const std::string& path);

// The "More Info..." text.
extern const char* const kCommandLineHelp;

}  // namespace sollex
