#include "receive/terminal_commands_parse.h"

#include <dirent.h>

#include <optional>
#include <string_view>

#include "common/file_io.h"
#include "common/format.h"
#include "common/paths.h"
#include "common/texts.h"
#include "protocols/ack_nak_frame.h"

namespace quillon {

std::vector<std::string> SplitCommandLines(const std::string& content) {
  std::vector<std::string> lines;
  std::string current;
  bool pending = false;  // characters since the last line end
  for (size_t i = 0; i < content.size(); ++i) {
    const char c = content[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(current));
      current.clear();
      pending = false;
      if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ++i;
    } else {
      current += c;
      pending = true;
    }
  }
  if (pending) lines.push_back(std::move(current));
  return lines;
}

std::string LowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

namespace {

struct CommandWord {
  std::string_view word;
  TerminalCommand code;
};

// The order matters: "$exec&wait" must be found before "$exec".
constexpr CommandWord kWords[] = {
    {"$exec&wait", TerminalCommand::ExecWait},
    {"$exec", TerminalCommand::Exec},
    {"$tx", TerminalCommand::Tx},
    {"$s^update", TerminalCommand::Update},
    {"$del", TerminalCommand::Delete},
    {"$fileinfo", TerminalCommand::FileInfo},
    {"$diskfree", TerminalCommand::DiskFree},
    {"$v24open", TerminalCommand::V24Open},
    {"$v24close", TerminalCommand::V24Close},
};

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

ParsedCommand ParseCommand(const std::string& line) {
  // Lower-casing keeps every byte in its place, so the word's offsets hold in the line itself.
  const std::string lowerLine = LowerAscii(line);
  for (const CommandWord& w : kWords) {
    const size_t at = lowerLine.find(w.word);
    if (at == std::string::npos) continue;
    std::string_view rest = std::string_view(line).substr(at + w.word.size());
    if (!rest.empty()) rest.remove_suffix(1);
    while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
    while (!rest.empty() && IsBlank(rest.back())) rest.remove_suffix(1);
    return {w.code, std::string(rest)};
  }
  return {};
}

namespace {

CommandFile InProgramDir(const std::string& name, const std::string& programDir) {
  if (name.starts_with('/') || programDir.empty()) return {name, name};
  return {name, WithTrailingSlash(programDir) + name};
}

// The one entry of the file's directory whose name equals the file's last part but for the
// case of A-Z; nothing when there is none or more than one.
std::optional<CommandFile> MatchCase(const CommandFile& given) {
  const size_t slash = given.name.rfind('/');
  const std::string wanted = LowerAscii(given.name.substr(slash + 1));  // npos + 1 == 0
  if (wanted.empty()) return std::nullopt;
  const std::string dir = DirectoryPart(given.fullName);
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return std::nullopt;
  std::string match;
  int matches = 0;
  while (const dirent* entry = readdir(d)) {
    if (LowerAscii(entry->d_name) != wanted) continue;
    match = entry->d_name;
    if (++matches > 1) break;
  }
  closedir(d);
  if (matches != 1) return std::nullopt;
  const std::string head = slash == std::string::npos ? "" : given.name.substr(0, slash + 1);
  return CommandFile{head + match, dir + match};
}

}  // namespace

CommandFile ResolveCommandFile(const std::string& argument, const std::string& programDir) {
  // A name with a NUL byte is no file name; it is reported as given, lower-cased.
  if (argument.find('\0') == std::string::npos) {
    CommandFile given = InProgramDir(argument, programDir);
    if (PathExists(given.fullName)) return given;
    if (std::optional<CommandFile> matched = MatchCase(given)) return *matched;
  }
  return InProgramDir(LowerAscii(argument), programDir);
}

std::string Printable(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < ' ') c = '?';
  return text;
}

std::string ErrorReply(const char* pattern, const std::string& name) {
  static constexpr std::string_view kCut = "...";
  const size_t fixed = Format(pattern, txt::kCmdErrorHead, "", txt::kCmdErrorTail).size();
  const size_t room = static_cast<size_t>(acknak::kMaxData) - fixed;
  std::string shown = Printable(name);
  if (shown.size() > room) shown = shown.substr(0, room - kCut.size()).append(kCut);
  return Format(pattern, txt::kCmdErrorHead, shown, txt::kCmdErrorTail);
}

}  // namespace quillon
