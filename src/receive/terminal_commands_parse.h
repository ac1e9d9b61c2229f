#pragma once
// Reading a command transfer: splitting the command file into lines and finding the command
// word and its argument in a line. Pure functions over text, so the rules are testable without
// a line or a file.
#include <string>
#include <vector>

namespace quillon {

// The commands a terminal may send, with the codes the logbook and the terminals know them by.
enum class TerminalCommand {
  None = 0,
  Exec = 1,
  ExecWait = 2,
  Tx = 3,
  Delete = 4,
  FileInfo = 5,
  DiskFree = 6,
  V24Open = 8,
  V24Close = 9,
  Update = 10,
};

struct ParsedCommand {
  TerminalCommand code = TerminalCommand::None;
  std::string argument;
};

// The lines of a command file; CR LF, LF and CR each end a line, as the receive file may be
// stored with any of them. A last line without an end counts.
std::vector<std::string> SplitCommandLines(const std::string& content);

// Lower-cases the letters A-Z. Bytes above 127 stay as they are: the terminal's code page is
// not known here, and a file name must not change beyond what the terminal can expect.
std::string LowerAscii(std::string text);

// Finds the command in an already lower-cased line: the words are tried in a fixed order
// ("$exec&wait" before "$exec") and the first one found anywhere in the line wins. The argument
// is the rest of the line after the word, without its last character (the closing "$"), with
// blanks and control characters trimmed at both ends.
ParsedCommand ParseCommand(const std::string& lowerLine);

// A file argument: without '/' it names a file in `programDir`, with '/' it is used as it is
// (an absolute path, or relative to the current directory).
std::string ResolveCommandFile(const std::string& argument, const std::string& programDir);

// `text` with every control character (NUL included) shown as '?', for the logbook and the
// terminal's display.
std::string Printable(std::string text);

// An error reply to the terminal: Format(pattern, "$Error:", name, "$"), with `name`
// shortened (ending in "...") so that the whole reply fits one block of the block protocol.
std::string ErrorReply(const char* pattern, const std::string& name);

}  // namespace quillon
