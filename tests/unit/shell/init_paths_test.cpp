#include "shell/init_paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::TempDir;

TEST(InitPaths, SettingsBesideProgramWithIniExtension) {
  TempDir dir;
  const auto info = InitPaths(dir.File("quillon"), {}, "/nonexistent-home");
  EXPECT_EQ(info.ProgramDir, dir.path() + "/");
  EXPECT_EQ(info.IniPath, dir.File("quillon.ini"));
  EXPECT_EQ(InitPaths(dir.File("Quillon.bin"), {}, "").IniPath, dir.File("Quillon.ini"))
      << "an extension is replaced, case kept";
  TGlobalApp global;
  BuildPortLogFiles(info, global);
  EXPECT_EQ(global.PortLogFile[1], dir.File("quillon_com1.log"));
  EXPECT_EQ(global.PortLogFile[8], dir.File("quillon_com8.log"));
}

TEST(InitPaths, IniAndDirSwitchesLaterOneWins) {
  TempDir dir;
  const auto info =
      InitPaths(dir.File("quillon"), {"/INI/etc/first", "/ini/cfg", "/dir/logs/", "/dir"}, "");
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
  const auto info = InitPaths(bin + "/quillon", {}, dir.File("home"));
  EXPECT_TRUE(info.UsedFallbackDir);
  EXPECT_EQ(info.ProgramDir, dir.File("home") + "/.local/share/quillon/");
  EXPECT_EQ(info.IniPath, info.ProgramDir + "quillon.ini");
  EXPECT_EQ(info.ExePath, bin + "/quillon");
}

}  // namespace
}  // namespace quillon
