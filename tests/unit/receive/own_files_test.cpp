// The program's own files under every name a peer could use for them, and how a command's file
// argument is read and found.
#include "receive/own_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "receive/terminal_commands_parse.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::TempDir;
using test::WriteBytes;

struct OwnCase {
  std::string path;  // below the test directory unless absolute
  bool own;
  const char* legend;
};

TEST(OwnFiles, EveryNameOfAnOwnFileIsOne) {
  TempDir dir;
  for (const char* sub : {"prog", "prog/Temp. Daten von COM4", "ext", "user"})
    ASSERT_TRUE(std::filesystem::create_directory(dir.File(sub)));
  AppContext app;
  app.AppInfo.ProgramDir = dir.File("prog/");
  app.AppInfo.IniPath = dir.File("prog/quillon.ini");
  app.AppInfo.ExePath = dir.File("prog/quillon");
  app.GlobalApp.PortLogFile[3] = dir.File("prog/quillon_com3.log");
  app.GlobalApp.ExtLogDir = dir.File("ext");
  for (const char* file : {"prog/quillon.ini", "prog/quillon", "ext/COM5_Logbuch12.txt",
                           "prog/Temp. Daten von COM4/Daten(00001).dat", "user/x.txt"})
    WriteBytes(dir.File(file), "x");
  const auto link = [&](const char* target, const char* name) {
    ASSERT_EQ(symlink(target, dir.File(name).c_str()), 0) << name;
  };
  const auto hardLink = [&](const char* target, const char* name) {
    ASSERT_EQ(::link(dir.File(target).c_str(), dir.File(name).c_str()), 0) << name;
  };
  link("../prog/quillon.ini", "user/link");
  link("../prog/quillon.job", "user/dangling");
  link("../user/y.txt", "prog/rxtmp1.dat");
  hardLink("prog/quillon.ini", "user/hard");
  hardLink("ext/COM5_Logbuch12.txt", "user/hardlog");
  hardLink("prog/Temp. Daten von COM4/Daten(00001).dat", "user/hardstore");

  const OwnCase cases[] = {
      {"prog/quillon.ini", true, "settings"},
      {"user/../prog/./quillon.ini", true, "through .."},
      {"prog//quillon.ini/", true, "doubled and trailing slashes"},
      {"prog/.quillon.ini.Ab12Cd", true, "a rewrite temporary of the settings"},
      {"prog/quillon.ini.bak", false, "a copy beside it is the user's"},
      {"prog/quillon.job", true, "job file, not there yet"},
      {"prog/ComRemap.ini", true, "port redirections beside the program"},
      {"prog/quillon_com3.log", true, "port logbook"},
      {"prog/rxtmp2.dat", true, "another port's receive file"},
      {"prog/rxtmp9.dat", false, "no port 9"},
      {"prog/Temp. Daten von COM4/Daten(00001).dat", true, "local store"},
      {"prog/Temp. Daten von COM4/sub/new.dat", true, "anything inside a local store"},
      {"ext/COM5_Logbuch12.txt", true, "external logbook"},
      {"ext/COM1_Logbuch999.txt", true, "any external logbook slot, there or not"},
      {"ext/COM9_Logbuch1.txt", false, "no port 9"},
      {"prog/quillon", true, "the program"},
      {"/proc/self/exe", true, "the running program"},
      {QUILLON_BIN_DIR "/unit_tests", true, "the running program by its name"},
      {"user/link", true, "a link to the settings"},
      {"user/dangling", true, "a link to the job file still to come"},
      {"prog/rxtmp1.dat", true, "a link in a receive file's place"},
      {"user/hard", true, "a hard link to the settings"},
      {"user/hardlog", true, "a hard link to an external logbook"},
      {"user/hardstore", true, "a hard link to a local file"},
      {"user/x.txt", false, "the user's file"},
      {"user/new.txt", false, "a new file of the user's"},
      {std::string("prog/quillon.ini\0x", 18), true, "cut at the NUL it would be one"},
  };
  for (const auto& c : cases) {
    const std::string path = c.path.starts_with('/') ? c.path : dir.File(c.path);
    EXPECT_EQ(IsProgramFile(app, path), c.own) << c.legend;
  }
}

struct ResolveCase {
  std::string line;
  TerminalCommand code;
  std::string name;      // the argument as found
  std::string fullName;  // below the program directory unless absolute
  const char* legend;
};

TEST(CommandFileNames, ArgumentsKeepTheirCaseAndLieInTheProgramDirectory) {
  TempDir dir;
  ASSERT_TRUE(std::filesystem::create_directory(dir.File("sub")));
  for (const char* file : {"Upper.sh", "lower.txt", "Twin.txt", "TWIN.txt", "sub/Deep.dat"})
    WriteBytes(dir.File(file), "x");
  const std::string programDir = dir.path() + "/";
  using C = TerminalCommand;
  const ResolveCase cases[] = {
      {"$exec Upper.sh$", C::Exec, "Upper.sh", "Upper.sh", "as given"},
      {"$EXEC UPPER.SH$", C::Exec, "Upper.sh", "Upper.sh", "the one name but for case"},
      {"  $Exec&Wait   lower.TXT  $", C::ExecWait, "lower.txt", "lower.txt", "word in any case"},
      {"$del TWIN.txt$", C::Delete, "TWIN.txt", "TWIN.txt", "as given among two"},
      {"$del twin.TXT$", C::Delete, "twin.txt", "twin.txt", "two candidates: lower-cased"},
      {"$fileinfo sub/DEEP.dat$", C::FileInfo, "sub/Deep.dat", "sub/Deep.dat", "in its directory"},
      {"$tx SUB/Deep.dat$", C::Tx, "sub/deep.dat", "sub/deep.dat", "the directory as given"},
      {"$del ../No.Quillon$", C::Delete, "../no.quillon", "../no.quillon", "from the program dir"},
      {"$del /No/Such$", C::Delete, "/no/such", "/no/such", "absolute"},
  };
  for (const auto& c : cases) {
    const ParsedCommand parsed = ParseCommand(c.line);
    EXPECT_EQ(parsed.code, c.code) << c.legend;
    const CommandFile file = ResolveCommandFile(parsed.argument, programDir);
    EXPECT_EQ(file.name, c.name) << c.legend;
    EXPECT_EQ(file.fullName, c.fullName.starts_with('/') ? c.fullName : programDir + c.fullName)
        << c.legend;
  }
}

}  // namespace
}  // namespace quillon
