#include "config/ui/setup_field_rules.h"

#include <algorithm>

#include "receive/placeholders.h"

namespace quillon {
namespace {

constexpr const char* kFileArgument = "%datei";
constexpr const char* kPortArgument = "%com";
constexpr int kSequentialMode = 2;

std::string ZeroPadded(int number, int digits) {
  std::string text = std::to_string(number);
  if (number >= 0 && static_cast<int>(text.size()) < digits) {
    text.insert(0, static_cast<size_t>(digits) - text.size(), '0');
  }
  return text;
}

}  // namespace

std::string PreviewFileName(const TQuillonOpt& opt) {
  const bool sequential = opt.FileMode == kSequentialMode;
  std::string name = ExpandPlaceholders(opt.FileName, sequential, opt.SeqDigits);
  if (sequential) {
    name = ReplaceAll(name, kSequentialPlaceholder, ZeroPadded(opt.FirstSeqNo, opt.SeqDigits));
  }
  return name;
}

std::string ProgramCallForChosenFile(const std::string& path) {
  std::string program = Trimmed(path);
  // The call is split like a command line: a path with blanks must stay one argument.
  if (program.find(' ') != std::string::npos) program = "\"" + program + "\"";
  return program + " \"" + kFileArgument + "\" " + kPortArgument;
}

std::string ProgramCallForDroppedFile(const std::string& path) {
  return path + " " + kFileArgument + " " + kPortArgument;
}

std::string ProgramOfCall(const std::string& call) {
  std::string program = ReplaceAll(call, kFileArgument, "");
  program = ReplaceAll(program, kPortArgument, "");
  program = Trimmed(ReplaceAll(program, "\"\"", ""));
  if (program.size() >= 2 && program.front() == '"' && program.back() == '"') {
    program = program.substr(1, program.size() - 2);
  }
  return program;
}

std::string ExtLogDirOnLeave(const std::string& text) {
  if (text.empty() || text.back() == '/') return text;
  return text + "/";
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::string WithoutBlanks(const std::string& text) {
  std::string out = text;
  out.erase(std::remove(out.begin(), out.end(), ' '), out.end());
  return out;
}

}  // namespace quillon
