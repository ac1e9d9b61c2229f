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

// Finds the command in a line: the words are tried in a fixed order ("$exec&wait" before
// "$exec") and the first one found anywhere in the line, in any case, wins. The argument is the
// rest of the line after the word, in the case the terminal sent it, without its last character
// (the closing "$"), with blanks and control characters trimmed at both ends.
ParsedCommand ParseCommand(const std::string& line);

// The file a command's argument names.
struct CommandFile {
  std::string name;      // the argument in the spelling that was found (see below)
  std::string fullName;  // that name in the program directory, or as it is when absolute
};

// Resolves a file argument: an absolute name is used as it is, any other name (also one with
// '/' or "..") lies in `programDir`, never in the current directory. The name is taken as the
// terminal sent it when that exists; else the one name in its directory that differs from it
// in the case of A-Z only; else the name lower-cased, the spelling commands were always
// looked up in.
CommandFile ResolveCommandFile(const std::string& argument, const std::string& programDir);

// `text` with every control character (NUL included) shown as '?', for the logbook and the
// terminal's display.
std::string Printable(std::string text);

// An error reply to the terminal: Format(pattern, "$Error:", name, "$"), with `name`
// shortened (ending in "...") so that the whole reply fits one block of the block protocol.
std::string ErrorReply(const char* pattern, const std::string& name);

}  // namespace quillon
