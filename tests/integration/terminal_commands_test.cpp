// Command transfers against a far end that plays the terminal byte by byte on a pseudo-terminal:
// which command a line means, what the terminal gets back, what the logbook shows, and that no
// argument a terminal sends can reach further than one file.
#include "receive/terminal_commands.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <thread>

#include "common/clock.h"
#include "common/paths.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::PtyPair;
using test::ReadBytes;
using test::WriteBytes;

// A program directory whose whole path is in lower case: a name not found as sent is looked up
// lower-cased, and an absolute one must still point into this directory then.
class LowerCaseDir {
 public:
  LowerCaseDir() {
    static std::atomic<int> counter{0};
    path_ = "/tmp/quillon-cmd-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    std::filesystem::create_directory(path_);
  }
  ~LowerCaseDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The terminal: acknowledges every block it receives and keeps type and data of each.
class FarEnd {
 public:
  explicit FarEnd(PtyPair& pty) : pty_(pty), thread_([this] { Loop(); }) {}
  ~FarEnd() {
    stop_ = true;
    thread_.join();
  }

  // "1:title", "+:data", "0:" for each block so far.
  std::vector<std::string> Blocks() {
    std::lock_guard lock(mutex_);
    return blocks_;
  }

 private:
  void Loop() {
    std::string buffer;
    while (!stop_) {
      buffer += pty_.Read(512, 20);
      for (;;) {
        const auto start = buffer.find('-');
        if (start == std::string::npos || buffer.size() < start + 4) break;
        const int n = std::stoi(buffer.substr(start + 1, 2), nullptr, 16);
        if (buffer.size() < start + static_cast<size_t>(n) + 8) break;
        std::lock_guard lock(mutex_);
        blocks_.push_back(std::string(1, buffer[start + 3]) + ":" +
                          buffer.substr(start + 4, static_cast<size_t>(n)));
        buffer.erase(0, start + static_cast<size_t>(n) + 8);
        pty_.Write("\x06");
      }
    }
  }

  PtyPair& pty_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> blocks_;
  std::thread thread_;
};

class RecordingReporter : public PortReporter {
 public:
  void Report(bool, int, const std::string& logText, const std::string&, const std::string&, int,
              int) override {
    if (!logText.empty()) logs.push_back(logText);
  }
  void SetLed(int) override {}
  void SetFileName(const std::string&) override {}
  std::vector<std::string> logs;
};

class TerminalCommandTest : public ::testing::Test {
 protected:
  TerminalCommandTest() : far(pty) {
    EXPECT_GT(port.Open(pty.path(), 9600, 8, 0, 1), 0);
    port.SetTimeout(1000);
    opt.LogLevel = 1;
  }

  bool Run(const std::string& commands) {
    WriteBytes(commandFile, commands);
    CommandContext ctx{
        1, port, opt, dir.path(), reporter, [this] { ++opened; }, [this] { ++closed; }, app};
    return RunCommands(ctx, commandFile);
  }

  // The reply transfers as the terminal saw them: title, data, end.
  std::vector<std::string> Replies(const std::vector<std::string>& data) {
    std::vector<std::string> out;
    for (const auto& d : data) {
      out.push_back("1:QUILLON DATENTRANSFER");
      out.push_back("+:" + d);
      out.push_back("0:");
    }
    return out;
  }

  std::string Full(const std::string& name) const { return dir.File(name); }

  // A program in the program directory that writes the number of its arguments and the
  // arguments to `out`.
  void Program(const std::string& name, const std::string& out, const std::string& before = "") {
    WriteBytes(Full(name), "#!/bin/sh\n" + before + "printf '%s\\n' \"$#\" \"$@\" > '" + out +
                               ".tmp'\nmv '" + out + ".tmp' '" + out + "'\n");
    ASSERT_EQ(chmod(Full(name).c_str(), 0755), 0);
  }

  static bool WaitForFile(const std::string& path, int timeoutMs) {
    const uint64_t end = Clock() + static_cast<uint64_t>(timeoutMs);
    while (access(path.c_str(), F_OK) != 0) {
      if (Clock() >= end) return false;
      Delay(10);
    }
    return true;
  }

  PtyPair pty;
  FarEnd far;
  TOrvAckNak port;
  LowerCaseDir dir;
  std::string commandFile = dir.File("rxtmp1.dat");
  TQuillonOpt opt;
  RecordingReporter reporter;
  int opened = 0;
  int closed = 0;
  const AppContext* app = nullptr;
};

TEST_F(TerminalCommandTest, ExecFoldsCaseAndStartsTheFileAlone) {
  const std::string out = Full("ran.txt");
  Program("notepad.exe", out);
  EXPECT_TRUE(Run("$EXEC NOTEPAD.EXE$\r\n"));
  ASSERT_TRUE(WaitForFile(out, 5000));
  EXPECT_EQ(ReadBytes(out), "0\n") << "the program is started without arguments";
  EXPECT_EQ(reporter.logs,
            std::vector<std::string>{"MDE-Befehl: Aufruf von " + Full("notepad.exe")});
  EXPECT_TRUE(far.Blocks().empty()) << "a started program is not replied to";
  EXPECT_NE(access(commandFile.c_str(), F_OK), 0) << "the command file is deleted";
}

TEST_F(TerminalCommandTest, ExecAndWaitIsItsOwnCommand) {
  const std::string out = Full("ran.txt");
  Program("prog", out, "sleep 0.2\n");
  EXPECT_TRUE(Run("$exec&wait prog$\n"));
  EXPECT_EQ(ReadBytes(out), "0\n") << "the program had ended when the command returned";
  EXPECT_EQ(reporter.logs,
            std::vector<std::string>{"MDE-Befehl: Aufruf von " + Full("prog") + " und warten"});
}

TEST_F(TerminalCommandTest, HeaderLineIsSkippedAndDeleteMakesReadOnlyFilesGo) {
  WriteBytes(Full("x.txt"), "data");
  ASSERT_EQ(chmod(Full("x.txt").c_str(), 0444), 0);
  EXPECT_TRUE(Run("QUILLON DATENTRANSFER,MDE 7\r\n$del x.txt$\r\n"));
  EXPECT_NE(access(Full("x.txt").c_str(), F_OK), 0);
  EXPECT_EQ(reporter.logs, std::vector<std::string>{"MDE-Befehl: Lösche Datei " + Full("x.txt")});
  EXPECT_TRUE(far.Blocks().empty());
}

TEST_F(TerminalCommandTest, UnknownLinesAfterTheFirstAreLoggedAndBlankLinesIgnored) {
  EXPECT_FALSE(Run("header\n\nsomething else\r"));
  EXPECT_EQ(reporter.logs, std::vector<std::string>{"Fehlerhafter MDE-Befehl:<unbekannt>"});
  EXPECT_NE(access(commandFile.c_str(), F_OK), 0);
}

TEST_F(TerminalCommandTest, FileInfoOfAMissingFileRepliesAnError) {
  EXPECT_FALSE(Run("$fileinfo X.TXT$\r\n"));
  EXPECT_EQ(far.Blocks(), Replies({"$Error:Datei x.txt nicht gefunden$"}));
  EXPECT_EQ(reporter.logs,
            std::vector<std::string>{"MDE-Befehl: Datei " + Full("x.txt") + " nicht gefunden"});
}

TEST_F(TerminalCommandTest, FileInfoRepliesDateTimeAndSize) {
  WriteBytes(Full("daten.txt"), "12345");
  std::tm tm{};
  tm.tm_year = 2024 - 1900;
  tm.tm_mon = 2;
  tm.tm_mday = 5;
  tm.tm_hour = 14;
  tm.tm_min = 22;
  tm.tm_sec = 7;
  tm.tm_isdst = -1;
  const timespec times[2] = {{mktime(&tm), 0}, {mktime(&tm), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, Full("daten.txt").c_str(), times, 0), 0);
  EXPECT_TRUE(Run("$fileinfo " + Full("daten.txt") + "$\r\n"));
  EXPECT_EQ(far.Blocks(), Replies({"05.03.2024,14:22:07,5"}));
  EXPECT_EQ(reporter.logs, std::vector<std::string>{"MDE-Befehl: Ermittle Informationen zur "
                                                    "Datei " +
                                                    Full("daten.txt")});
}

TEST_F(TerminalCommandTest, DiskFreeRepliesTheBytesAvailable) {
  EXPECT_TRUE(Run("$diskfree$\r\n"));
  const auto blocks = far.Blocks();
  ASSERT_EQ(blocks.size(), 3u);
  const std::string bytes = blocks[1].substr(2);
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(bytes.find_first_not_of("0123456789"), std::string::npos) << bytes;
  struct statvfs vfs {};
  ASSERT_EQ(statvfs(dir.path().c_str(), &vfs), 0);
  const double expected = static_cast<double>(vfs.f_bavail) * static_cast<double>(vfs.f_frsize);
  EXPECT_NEAR(std::stod(bytes), expected, 64.0 * 1024 * 1024);
  EXPECT_EQ(reporter.logs,
            std::vector<std::string>{"MDE-Befehl: Ermittle freie Festplattenkapazität"});
}

TEST_F(TerminalCommandTest, TheLastCommandDecidesTheResult) {
  EXPECT_TRUE(Run("$fileinfo missing.txt$\r\n$diskfree$\r\n"));
  EXPECT_EQ(far.Blocks().size(), 6u) << "both commands replied";
  EXPECT_FALSE(Run("$diskfree$\r\n$fileinfo missing.txt$\r\n"));
}

TEST_F(TerminalCommandTest, SendingAMissingFileIsToldToTheTerminal) {
  EXPECT_FALSE(Run("$tx daten.txt$\r\n"));
  EXPECT_FALSE(Run("$S^UPDATE app.exs$\r\n"));
  EXPECT_EQ(far.Blocks(), Replies({"$Error:Datei daten.txt nicht gefunden$",
                                   "$Error:Datei app.exs nicht gefunden$"}));
}

TEST_F(TerminalCommandTest, PortCommandsCallTheThread) {
  EXPECT_TRUE(Run("$v24close$\r\n"));
  EXPECT_EQ(closed, 1);
  EXPECT_TRUE(Run("$v24open$\r\n"));
  EXPECT_EQ(opened, 1);
  EXPECT_TRUE(far.Blocks().empty());
}

TEST_F(TerminalCommandTest, NothingIsLoggedAtLogLevelZero) {
  opt.LogLevel = 0;
  EXPECT_FALSE(Run("$fileinfo x.txt$\r\nunknown\r\n"));
  EXPECT_TRUE(reporter.logs.empty());
  EXPECT_EQ(far.Blocks(), Replies({"$Error:Datei x.txt nicht gefunden$"})) << "but replied";
}

struct Hostile {
  std::string line;
  std::string reply;
  const char* legend;
};

TEST_F(TerminalCommandTest, HostileArgumentsReachNoFurtherThanOneFile) {
  const std::string pwned = Full("pwned");
  WriteBytes(Full("x.txt"), "data");
  const std::string longName(5000, 'a');
  const Hostile cases[] = {
      {"$exec x.txt;touch " + pwned + "$", "$Error:Datei pwned nicht gefunden$",
       "';' is part of the file name"},
      {"$exec $(touch " + pwned + ")$", "$Error:Datei pwned) nicht gefunden$", "no $()"},
      {"$exec&wait \"x.txt\" > " + pwned + "$", "$Error:Datei pwned nicht gefunden$", "no >"},
      {"$exec ;rm -rf " + dir.path() + "/$", "$Error:Datei  nicht gefunden$", "no rm"},
      {"$del ..$", "$Error:Datei .. nicht gefunden$", "a directory is never deleted"},
      {"$del " + dir.path() + "/$", "$Error:Datei  nicht gefunden$", "nor the program dir"},
      {"$fileinfo \"x.txt\"$", "$Error:Datei \"x.txt\" nicht gefunden$", "quotes are text"},
      {std::string("$fileinfo x.txt\0.evil$", 22), "$Error:Datei x.txt?.evil nicht gefunden$",
       "a NUL byte does not cut the name to x.txt"},
  };
  for (const auto& c : cases) {
    const size_t before = far.Blocks().size();
    EXPECT_FALSE(Run(c.line + "\r\n")) << c.legend;
    const auto blocks = far.Blocks();
    ASSERT_EQ(blocks.size(), before + 3) << c.legend;
    EXPECT_EQ(blocks[before + 1], "+:" + c.reply) << c.legend;
  }
  EXPECT_NE(access(pwned.c_str(), F_OK), 0);
  EXPECT_EQ(access(Full("x.txt").c_str(), F_OK), 0);

  // A very long name: no crash, and the reply is still one whole block ending in "$".
  const size_t before = far.Blocks().size();
  EXPECT_FALSE(Run("$fileinfo " + longName + "$\r\n$del " + longName + "$\r\n"));
  const auto blocks = far.Blocks();
  ASSERT_EQ(blocks.size(), before + 6);
  for (size_t i : {before + 1, before + 4}) {
    EXPECT_LE(blocks[i].size(), 2u + 255u);
    EXPECT_EQ(blocks[i].rfind("+:$Error:Datei aaaa", 0), 0u) << blocks[i];
    EXPECT_EQ(blocks[i].substr(blocks[i].size() - 19), "... nicht gefunden$");
  }
}

TEST_F(TerminalCommandTest, AProgramNameWithBlanksIsOneFile) {
  const std::string out = Full("ran.txt");
  Program("run me", out);
  Program("run", Full("wrong.txt"));
  EXPECT_TRUE(Run("$exec&wait run me$\r\n"));
  EXPECT_EQ(ReadBytes(out), "0\n");
  EXPECT_NE(access(Full("wrong.txt").c_str(), F_OK), 0) << "not split into run + me";

  ASSERT_EQ(chmod(Full("run me").c_str(), 0644), 0);
  EXPECT_FALSE(Run("$exec&wait run me$\r\n")) << "a file that cannot be run";
  EXPECT_EQ(far.Blocks(), Replies({"$Error:Fehler beim Aufruf der Datei run me$"}));
  EXPECT_EQ(reporter.logs.back(), "Fehler beim Aufruf der Datei " + Full("run me"));
}

TEST_F(TerminalCommandTest, OwnFilesAreAnsweredAsMissing) {
  AppContext own;
  own.AppInfo.ProgramDir = dir.path() + "/";
  own.AppInfo.IniPath = Full("quillon.ini");
  own.AppInfo.ExePath = Full("quillon");
  app = &own;
  const std::string ran = Full("ran.txt");
  Program("quillon", ran);
  for (const char* file : {"quillon.ini", "rxtmp2.dat"}) WriteBytes(Full(file), "keep");
  ASSERT_EQ(symlink("quillon.ini", Full("link").c_str()), 0);
  ASSERT_EQ(link(Full("quillon.ini").c_str(), Full("hard").c_str()), 0);
  const std::string up = "../" + FileNamePart(dir.path()) + "/";
  const std::pair<std::string, std::string> cases[] = {
      {"$del quillon.ini$", "quillon.ini"},
      {"$del " + up + "QUILLON.INI$", "quillon.ini"},
      {"$del " + Full("rxtmp2.dat") + "$", "rxtmp2.dat"},
      {"$fileinfo link$", "link"},
      {"$fileinfo hard$", "hard"},
      {"$exec&wait quillon$", "quillon"},
      {"$tx quillon.ini$", "quillon.ini"},
  };
  for (const auto& [line, name] : cases) {
    const size_t before = far.Blocks().size();
    EXPECT_FALSE(Run(line + "\r\n")) << line;
    const auto blocks = far.Blocks();
    ASSERT_EQ(blocks.size(), before + 3) << line;
    EXPECT_EQ(blocks[before + 1], "+:$Error:Datei " + name + " nicht gefunden$") << line;
    EXPECT_EQ(reporter.logs.back().rfind("MDE-Befehl: Datei ", 0), 0u) << line;
  }
  for (const char* file : {"quillon.ini", "rxtmp2.dat", "quillon", "link", "hard"})
    EXPECT_EQ(access(Full(file).c_str(), F_OK), 0) << file;
  EXPECT_NE(access(ran.c_str(), F_OK), 0) << "the program itself is not started";
}

}  // namespace
}  // namespace quillon
