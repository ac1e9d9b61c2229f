#include "command_line.h"

#include <cctype>

namespace sollex {

const char* const kCommandLineHelp =
    "Command Line parameters:\r\n"
    "\r\n"
    "/f[filename]\tFile To Download\r\n"
    "/bN\t\tSet Baud Rate to N ( 19200, 38400 or 57600 )\r\n"
    "/pN\t\tSet COM Port to COMN ( from COM1 to COM8 )\r\n";

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  for (const std::string& arg : args) {
    if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) continue;
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(arg[1])));
    const std::string value = arg.substr(2);
    if (letter == 'f') {
      line.file = value;
    } else if (letter == 'p') {
      if (!value.empty() && value[0] >= '1' && value[0] <= '8') line.portIndex = value[0] - '1';
    } else if (letter == 'b') {
      line.rateIndex = value == "38400" ? 1 : value == "57600" ? 2 : 0;
    }
  }
  return line;
}

std::string ShortPath(const std::string& path) {
  if (path.size() <= 60) return path;
  return path.substr(0, 25) + "..." + path.substr(path.size() - 25);
}

int RateIndexFrom(const std::string& value, int fallback) {
  if (value.empty() || !std::isdigit(static_cast<unsigned char>(value[0]))) return fallback;
  const int index = std::stoi(value.substr(0, 3));
  return index > 2 ? 2 : index;
}

int PortIndexFrom(const std::string& value, int fallback) {
  if (value.size() != 1 || value[0] < '0' || value[0] > '7') return fallback;
  return value[0] - '0';
}

std::string UpperExtension(const std::string& path) {
  const auto slash = path.rfind('/');
  const auto dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext;
}

}  // namespace sollex
