#include "shell/command_line.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

#include "common/encoding.h"
#include "common/file_io.h"
#include "common/format.h"
#include "common/ini_file.h"
#include "common/paths.h"
#include "common/texts.h"

namespace quillon {
namespace {

constexpr int kMaxOptionFileDepth = 8;
constexpr std::array<int, 10> kBaudRates = {300,  600,   1200,  2400,  4800,
                                            9600, 19200, 38400, 57600, 115200};

std::vector<std::string> SplitWords(const std::string& text) {
  std::vector<std::string> words;
  size_t pos = 0;
  while (pos < text.size()) {
    pos = text.find_first_not_of(" \t", pos);
    if (pos == std::string::npos) break;
    const size_t end = std::min(text.find_first_of(" \t", pos), text.size());
    words.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return words;
}

bool StartsWithNoCase(const std::string& word, std::string_view prefix) {
  return word.size() >= prefix.size() && FoldCase(word.substr(0, prefix.size())) == prefix;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

CommandLineResult Faulty(const std::string& arg, const std::string& what, bool endProgram) {
  return {false, endProgram, Format(txt::kParamFaulty, arg, what, txt::kIsFaulty)};
}

CommandLineResult NotFound(const std::string& arg, const std::string& file) {
  return {false, true, Format(txt::kParamFileNotFound, arg, file)};
}

// What one argument changes; applied as a whole, or not at all when the error ends the program.
struct PendingChanges {
  struct PortChange {
    int port = 0;
    std::optional<int> baud, dataBits, parity, stopBits;
    std::optional<std::string> sendFile;
  };
  std::vector<PortChange> ports;
  bool autostart = false;
  bool noTest = false;
  bool headless = false;

  PortChange& Port(int n) {
    if (ports.empty() || ports.back().port != n) ports.push_back({n, {}, {}, {}, {}, {}});
    return ports.back();
  }
};

void Commit(const PendingChanges& pending, AppContext& app, bool& headless) {
  if (pending.autostart) app.GlobalApp.Autostart = true;
  if (pending.noTest) app.GlobalApp.TestPorts = false;
  if (pending.headless) headless = true;
  for (const auto& change : pending.ports) {
    TQuillonOpt& opt = app.PortSettings[change.port];
    if (change.baud) opt.Baudrate = *change.baud;
    if (change.dataBits) opt.DataBits = *change.dataBits;
    if (change.parity) opt.Parity = *change.parity;
    if (change.stopBits) opt.StopBits = *change.stopBits;
    if (change.sendFile) {
      opt.StartSendFile = *change.sendFile;
      opt.StartSendMode = 1;
    }
  }
}

std::optional<int> ParseBaud(const std::string& text) {
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
      })) {
    return std::nullopt;
  }
  const auto value = ParseInt(text);
  if (!value || std::find(kBaudRates.begin(), kBaudRates.end(), *value) == kBaudRates.end()) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

bool HasHeadlessSwitch(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (!arg.empty() && (arg[0] == ';' || arg[0] == '@')) continue;
    for (const std::string& word : SplitWords(arg)) {
      if (FoldCase(word) == "/headless") return true;
    }
  }
  return false;
}

CommandLineResult CommandLine::Apply(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    CommandLineResult result = ApplyArgument(arg, 0);
    if (!result.ok) return result;
  }
  return {};
}

CommandLineResult CommandLine::ApplyArgument(const std::string& arg, int depth) {
  if (arg.empty() || arg[0] == ';') return {};
  if (arg[0] == '@') return ApplyOptionFile(arg, depth);
  if (StartsWithNoCase(arg, "/ini") || StartsWithNoCase(arg, "/dir")) return {};
  return ApplyOptions(arg);
}

CommandLineResult CommandLine::ApplyOptionFile(const std::string& arg, int depth) {
  const std::string file = AbsolutePath(arg.substr(1));
  if (depth >= kMaxOptionFileDepth) return Faulty(arg, arg, true);
  const auto content = IsRegularFile(file) ? ReadWholeFile(file) : std::nullopt;
  if (!content) return NotFound(arg, file);
  const std::string text = DecodeTextFile(*content);
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
      line.pop_back();
    }
    pos = end + 1;
    if (line.empty() || line[0] == ';') continue;
    CommandLineResult result = ApplyArgument(line, depth + 1);
    if (!result.ok) return result;
  }
  return {};
}

CommandLineResult CommandLine::ApplyOptions(const std::string& arg) {
  PendingChanges pending;
  int port = 0;  // selected by "/com"
  for (const std::string& word : SplitWords(arg)) {
    const std::string folded = FoldCase(word);
    if (folded == "/autostart") {
      pending.autostart = true;
    } else if (folded == "/notest") {
      pending.noTest = true;
    } else if (folded == "/headless") {
      pending.headless = true;
    } else if (StartsWithNoCase(word, "/ini") || StartsWithNoCase(word, "/dir")) {
      // applied before the settings were read
    } else if (StartsWithNoCase(word, "/com")) {
      const std::string number = word.substr(4);
      if (number.empty() || !std::isdigit(static_cast<unsigned char>(number[0]))) {
        Commit(pending, app_, headless_);
        return Faulty(arg, "/com", false);
      }
      const auto value = ParseInt(number);
      const bool allDigits = std::all_of(number.begin(), number.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
      });
      if (!allDigits || !value || *value < 1 || *value > kPortCount) {
        return Faulty(arg, "/com", true);
      }
      port = *value;
    } else if (port != 0 && StartsWithNoCase(word, "b:")) {
      const auto baud = ParseBaud(word.substr(2));
      if (!baud) return Faulty(arg, "b:", true);
      pending.Port(port).baud = *baud;
    } else if (port != 0 && StartsWithNoCase(word, "f:")) {
      const std::string f = word.substr(2);
      static constexpr std::string_view kParities = "NOE";
      const auto parity =
          f.size() == 3
              ? kParities.find(static_cast<char>(std::toupper(static_cast<unsigned char>(f[1]))))
              : std::string_view::npos;
      if (f.size() != 3 || (f[0] != '7' && f[0] != '8') || parity == std::string_view::npos ||
          (f[2] != '1' && f[2] != '2')) {
        return Faulty(arg, "f:", true);
      }
      auto& change = pending.Port(port);
      change.dataBits = f[0] - '0';
      change.parity = static_cast<int>(parity);
      change.stopBits = f[2] - '0';
    } else if (port != 0 && StartsWithNoCase(word, "tx:")) {
      const std::string file = word.substr(3);
      if (!IsRegularFile(file)) return NotFound(arg, file);
      pending.Port(port).sendFile = file;
    } else {
      Commit(pending, app_, headless_);
      return Faulty(arg, word, false);
    }
  }
  Commit(pending, app_, headless_);
  return {};
}

}  // namespace quillon
