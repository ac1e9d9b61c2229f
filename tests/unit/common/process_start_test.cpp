// Starting programs: splitting command lines, finding the program, waiting, and that nothing
// on the command line ever reaches a shell.
#include "common/process_start.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "common/clock.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

struct SplitCase {
  const char* line;
  std::vector<std::string> args;
  const char* legend;
};

TEST(CommandLineSplit, WindowsQuotingRules) {
  const SplitCase cases[] = {
      {"import.exe /in/daten.dat COM3", {"import.exe", "/in/daten.dat", "COM3"}, "blanks"},
      {"  a \t b  ", {"a", "b"}, "runs of blanks and tabs, leading and trailing"},
      {"", {}, "empty line"},
      {"   ", {}, "only blanks"},
      {"prog \"/in/meine daten.dat\" x", {"prog", "/in/meine daten.dat", "x"}, "quotes group"},
      {"a\"b c\"d", {"ab cd"}, "quotes inside an argument"},
      {"prog \"\"", {"prog", ""}, "empty quoted argument"},
      {"prog \"a\"\"b\"", {"prog", "a\"b"}, "\"\" inside quotes is one quote"},
      {"prog \"unclosed arg", {"prog", "unclosed arg"}, "unclosed quote runs to the end"},
      {"prog a\\\"b", {"prog", "a\"b"}, "one backslash escapes a quote"},
      {"prog a\\\\\"b c\"", {"prog", "a\\b c"}, "two backslashes give one, quote groups"},
      {"prog a\\\\\\\"b", {"prog", "a\\\"b"}, "three backslashes: one and a quote"},
      {"c:\\tools\\import.exe x\\y\\\\",
       {"c:\\tools\\import.exe", "x\\y\\\\"},
       "backslashes not before a quote stay"},
      {"a;b $(c) >d", {"a;b", "$(c)", ">d"}, "shell characters are plain text"},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.legend;
}

// A program that writes the number of its arguments and the arguments, one per line, to `out`.
// (A script cannot see the argv[0] it was started with, the kernel puts its path there.)
void WriteEchoProgram(const std::string& path, const std::string& out,
                      const std::string& before = "") {
  WriteBytes(path, "#!/bin/sh\n" + before + "printf '%s\\n' \"$#\" \"$@\" > '" + out + "'\n");
  ASSERT_EQ(chmod(path.c_str(), 0755), 0);
}

bool WaitForFile(const std::string& path, int timeoutMs) {
  const uint64_t end = Clock() + static_cast<uint64_t>(timeoutMs);
  while (access(path.c_str(), F_OK) != 0) {
    if (Clock() >= end) return false;
    Delay(10);
  }
  return true;
}

// Sets PATH for one test and puts the old value back.
class ScopedPath {
 public:
  explicit ScopedPath(const std::string& value) {
    if (const char* old = std::getenv("PATH")) old_ = old;
    setenv("PATH", value.c_str(), 1);
  }
  ~ScopedPath() { setenv("PATH", old_.c_str(), 1); }

 private:
  std::string old_;
};

TEST(ProcessStart, ProgramDirectoryFirstThenPath) {
  TempDir programDir, pathDir;
  const std::string out = programDir.File("out.txt");
  WriteEchoProgram(programDir.File("importer"), out, "echo programdir > '" + out + ".who'\n");
  WriteEchoProgram(pathDir.File("importer"), out, "echo path > '" + out + ".who'\n");
  ScopedPath path(pathDir.path() + ":/usr/bin:/bin");

  ASSERT_EQ(RunProgram("importer \"a b\" c", true, programDir.path()), 0);
  EXPECT_EQ(ReadBytes(out + ".who"), "programdir\n") << "the program directory comes first";
  EXPECT_EQ(ReadBytes(out), "2\na b\nc\n") << "quoted words are one argument";

  ASSERT_EQ(unlink(programDir.File("importer").c_str()), 0);
  ASSERT_EQ(RunProgram("importer", true, programDir.path()), 0);
  EXPECT_EQ(ReadBytes(out + ".who"), "path\n") << "then PATH";
}

TEST(ProcessStart, FailuresAreErrorCodes) {
  TempDir dir;
  WriteBytes(dir.File("plain.txt"), "not a program\n");
  ScopedPath path("/usr/bin:/bin");
  EXPECT_EQ(RunProgram("quillon-no-such-program-x", false, dir.path()), ENOENT);
  EXPECT_EQ(RunProgram(dir.File("missing"), true, dir.path()), ENOENT) << "path given";
  EXPECT_EQ(RunProgram("plain.txt", true, dir.path()), EACCES) << "not executable";
  EXPECT_EQ(RunProgram(dir.path(), true, dir.path()), EACCES) << "a directory";
  EXPECT_NE(RunProgram("", true, dir.path()), 0);
  EXPECT_NE(RunProgram("\"\" x", true, dir.path()), 0) << "empty program name";
  EXPECT_NE(StartProgram(std::string("/bin/true\0x", 11), {"true"}, true), 0)
      << "a NUL byte never cuts a name short";
}

TEST(ProcessStart, WaitWaitsAndNoWaitDoesNot) {
  TempDir dir;
  const std::string out = dir.File("out.txt");
  WriteEchoProgram(dir.File("slow"), out, "sleep 0.3\n");
  const uint64_t start = Clock();
  ASSERT_EQ(RunProgram("slow 1", true, dir.path()), 0);
  EXPECT_GE(Clock() - start, 250u);
  EXPECT_EQ(ReadBytes(out), "1\n1\n") << "the program has ended when the call returns";

  // This one waits until the test lets it go (at most 30 s, so that it ends in any case).
  ASSERT_EQ(unlink(out.c_str()), 0);
  const std::string go = dir.File("go");
  WriteEchoProgram(dir.File("held"), out,
                   "i=0; while [ ! -e '" + go +
                       "' ] && [ $i -lt 600 ]; do sleep 0.05; "
                       "i=$((i+1)); done\n");
  ASSERT_EQ(RunProgram("held 2", false, dir.path()), 0);
  EXPECT_NE(access(out.c_str(), F_OK), 0) << "the call returned while the program still runs";
  WriteBytes(go, "");
  EXPECT_TRUE(WaitForFile(out, 20000));
}

TEST(ProcessStart, NoShellInterpretation) {
  TempDir dir;
  const std::string out = dir.File("out.txt");
  WriteEchoProgram(dir.File("echo"), out);
  const std::string evil = dir.File("evil");
  ASSERT_EQ(RunProgram("echo a;touch " + evil + " $(touch " + evil + "2) `touch " + evil + "3` >" +
                           evil + "4 | touch " + evil + "5",
                       true, dir.path()),
            0);
  for (const char* suffix : {"", "2", "3", "4", "5"})
    EXPECT_NE(access((evil + suffix).c_str(), F_OK), 0) << "created: evil" << suffix;
  EXPECT_EQ(ReadBytes(out).substr(0, 12), "10\na;touch\n/") << "';' is text, not a separator";
}

// Children of this process that have ended but were not collected.
int ZombieChildren() {
  int zombies = 0;
  DIR* proc = opendir("/proc");
  if (!proc) return 0;
  while (dirent* e = readdir(proc)) {
    std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    const auto close = line.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    int ppid = 0;
    if (sscanf(line.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == getpid() &&
        state == 'Z')
      ++zombies;
  }
  closedir(proc);
  return zombies;
}

TEST(ProcessStart, ProgramsNotWaitedForAreReapedAndInheritNoDescriptorsNorOurOutput) {
  TempDir dir;
  // A descriptor opened without close-on-exec, as a careless library would.
  const int opened = open("/dev/null", O_RDONLY);
  ASSERT_GE(opened, 0);
  const int leaky = fcntl(opened, F_DUPFD, 200);  // well above what the shell itself holds
  close(opened);
  ASSERT_GE(leaky, 200);
  const std::string out = dir.File("fds.txt");
  WriteBytes(dir.File("fds"), "#!/bin/sh\no='" + out +
                                  "'\nstd=$(readlink /proc/$$/fd/1 /proc/$$/fd/2)\n"
                                  "echo \"$std\" > \"$o.std\"\n"
                                  "ls /proc/$$/fd > \"$o.tmp\"\nmv \"$o.tmp\" \"$o\"\n");
  ASSERT_EQ(chmod(dir.File("fds").c_str(), 0755), 0);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(RunProgram("/bin/true", false, dir.path()), 0);
  ASSERT_EQ(RunProgram("fds", false, dir.path()), 0);
  ASSERT_TRUE(WaitForFile(out, 20000));
  const std::string fds = "\n" + ReadBytes(out);
  close(leaky);
  EXPECT_EQ(fds.find("\n" + std::to_string(leaky) + "\n"), std::string::npos) << fds;
  EXPECT_EQ(ReadBytes(out + ".std"), "/dev/null\n/dev/null\n") << "stdout and stderr";

  const uint64_t end = Clock() + 20000;
  while (ZombieChildren() > 0 && Clock() < end) Delay(20);
  EXPECT_EQ(ZombieChildren(), 0) << "ended programs are collected without a wait";
}

}  // namespace
}  // namespace quillon
