#pragma once
// Starting other programs: the post-processing call after a reception and the "$exec" terminal
// commands. No shell is ever involved: a command line is split into arguments by the quoting
// rules the users' templates are written in (double quotes group, blanks separate), and the
// program file is started directly with posix_spawn.
//
// Thread safety: every function may be called from any thread; the receive threads of several
// ports start programs at the same time.
#include <string>
#include <vector>

namespace quillon {

// Splits a command line into arguments by the Windows rules: blanks and tabs separate
// arguments; a double quote starts or ends a quoted part in which blanks are kept; inside a
// quoted part "" gives one literal quote and the part goes on; 2n backslashes before a quote
// give n backslashes and the quote acts as above, 2n+1 backslashes before a quote give n
// backslashes and a literal quote; backslashes anywhere else are kept as they are. "" on its
// own is an empty argument.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Finds the program file for argv[0]: a name with '/' is taken as given (relative to the
// current directory); a bare name is looked for in `programDir` first and then in the
// directories of PATH (empty PATH entries, the current directory, are not searched). Only
// executable regular files count. The file found, or empty with `error` set to ENOENT
// (nothing found) or EACCES (found but not executable).
std::string FindProgram(const std::string& name, const std::string& programDir, int& error);

// Starts exactly the file `path` with the arguments `argv` (argv[0] included), its standard
// input, output and error on /dev/null, in a process group of its own. With `wait` the
// call returns when the program has ended; without, the program runs on and is reaped in the
// background, so it never stays behind as a zombie. The program's exit code is not examined.
// 0 when it was started, else an errno code (ENOENT, EACCES, ENOEXEC, ...).
[[nodiscard]] int StartProgram(const std::string& path, const std::vector<std::string>& argv,
                               bool wait);

// Splits `commandLine`, finds its program (FindProgram) and starts it (StartProgram).
// 0 when started, else an errno code; EINVAL for an empty command line.
[[nodiscard]] int RunProgram(const std::string& commandLine, bool wait,
                             const std::string& programDir);

}  // namespace quillon
