#include "shell/init_paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::TempDir;

TEST(InitPaths, SettingsBesideProgramWithIniExtension) {
  TempDir dir;
  const auto info = InitPaths(dir.File("quillon"), {}, "/nonexistent-home", "");
  EXPECT_EQ(info.ProgramDir, dir.path() + "/");
  EXPECT_EQ(info.IniPath, dir.File("quillon.ini"));
  EXPECT_EQ(InitPaths(dir.File("Quillon.bin"), {}, "", "").IniPath, dir.File("Quillon.ini"))
      << "an extension is replaced, case kept";
  TGlobalApp global;
  BuildPortLogFiles(info, global);
  EXPECT_EQ(global.PortLogFile[1], dir.File("quillon_com1.log"));
  EXPECT_EQ(global.PortLogFile[8], dir.File("quillon_com8.log"));
}

TEST(InitPaths, IniAndDirSwitchesLaterOneWins) {
  TempDir dir;
  const auto info =
      InitPaths(dir.File("quillon"), {"/INI/etc/first", "/ini/cfg", "/dir/logs/", "/dir"}, "", "");
  EXPECT_EQ(info.IniPath, "/cfg/quillon.ini");
  EXPECT_EQ(info.ProgramDir, "/logs/") << "given trailing slash kept, empty /dir ignored";
  TGlobalApp global;
  BuildPortLogFiles(info, global);
  EXPECT_EQ(global.PortLogFile[1], "/logs/quillon_com1.log");
}

TEST(InitPaths, FallsBackToHomeWhenProgramDirectoryIsReadOnly) {
  TempDir dir;
  const std::string bin = dir.File("bin");
  mkdir(bin.c_str(), 0555);
  const auto info = InitPaths(bin + "/quillon", {}, dir.File("home"), "");
  EXPECT_TRUE(info.UsedFallbackDir);
  EXPECT_EQ(info.ProgramDir, dir.File("home") + "/.local/share/quillon/");
  EXPECT_EQ(info.IniPath, info.ProgramDir + "quillon.ini");
  EXPECT_EQ(info.ExePath, bin + "/quillon");
}

// Where the settings and everything kept beside them go: a settings file beside a writable
// program wins, then the data directory, then a writable program directory outside the system's
// program directories, then the home directory; "/ini" and "/dir" still apply last.
TEST(InitPaths, DataDirectoryRule) {
  enum class Where { Program, Data, Home };
  struct Case {
    const char* name;
    bool readOnlyProgramDir;
    bool settingsBeside;
    bool dataDirGiven;
    Where expected;
  };
  const Case cases[] = {
      {"portable settings beat the data directory", false, true, true, Where::Program},
      {"built program without settings", false, false, false, Where::Program},
      {"data directory for a program without settings", false, false, true, Where::Data},
      {"settings beside a read-only program", true, true, true, Where::Data},
      {"read-only program without data directory", true, false, false, Where::Home},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string bin = dir.File("bin");
    mkdir(bin.c_str(), 0755);
    if (c.settingsBeside) test::WriteBytes(bin + "/quillon.ini", "");
    if (c.readOnlyProgramDir) chmod(bin.c_str(), 0555);
    const std::string data = dir.File("var/lib/quillon");
    const auto info = InitPaths(bin + "/quillon", {}, dir.File("home"), c.dataDirGiven ? data : "");
    const std::string expected = c.expected == Where::Program ? bin + "/"
                                 : c.expected == Where::Data
                                     ? data + "/"
                                     : dir.File("home/.local/share/quillon/");
    EXPECT_EQ(info.ProgramDir, expected);
    EXPECT_EQ(info.ExeDir, expected) << "the setup's default files live there too";
    EXPECT_EQ(ComRemapDirectoryFor(info), bin + "/") << "no ComRemap.ini in the data directory";
    test::WriteBytes(expected + "ComRemap.ini", "");
    EXPECT_EQ(ComRemapDirectoryFor(info), expected);
    EXPECT_EQ(info.IniPath, expected + "quillon.ini");
    EXPECT_EQ(info.UsedFallbackDir, c.expected == Where::Home);
    struct stat st {};
    EXPECT_EQ(stat(expected.c_str(), &st), 0) << "the directory is made";
    chmod(bin.c_str(), 0755);
  }

  TempDir dir;
  const auto moved =
      InitPaths(dir.File("quillon"), {"/ini/cfg", "/dir/logs"}, "", dir.File("data"));
  EXPECT_EQ(moved.IniPath, "/cfg/quillon.ini") << "/ini beats the data directory";
  EXPECT_EQ(moved.ProgramDir, "/logs/") << "/dir beats the data directory";
  const auto installed = InitPaths("/usr/bin/quillon", {}, dir.File("home"), "");
  EXPECT_EQ(installed.IniPath, dir.File("home/.local/share/quillon/quillon.ini"))
      << "an installed program never keeps settings in /usr/bin, even for root";
}

}  // namespace
}  // namespace quillon
