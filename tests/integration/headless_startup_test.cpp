// The receiver program started without windows, as a user or a service manager would start it.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "serial/serial_device_list.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::ChildProcess;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

constexpr int kTimeoutMs = 10000;

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}

// A directory holding a copy of the program, as a user would install it.
struct Installation {
  TempDir dir;
  std::string program = dir.File("quillon");
  std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + dir.path(), "HOME=" + dir.path()};
  Installation() { std::filesystem::copy_file(std::string(QUILLON_BIN_DIR) + "/quillon", program); }
};

TEST(HeadlessStartup, EmptyDirectoryGetsDefaultsThenEndsForLackOfActivePort) {
  Installation inst;
  ChildProcess child;
  const int code =
      test::RunToEnd(child, {inst.program, "/headless"}, inst.dir.path(), inst.env, kTimeoutMs);
  EXPECT_NE(code, 0);
  EXPECT_NE(code, -1) << "must end by itself";
  int present = 0;
  for (int n = 1; n <= 8; ++n) {
    present += DeviceOpensAsSerialLine("/dev/ttyS" + std::to_string(n - 1));
  }
  EXPECT_EQ(Count(child.err(),
                  "Information: Es wurden automatisch einige "
                  "Programmeinstellungen vorgenommen. Überprüfen Sie daher zuerst "
                  "die Einstellungen für COM"),
            present)
      << child.err();
  EXPECT_NE(child.err().find("Information: Bitte konfigurieren bzw. aktivieren Sie zuerst eine "
                             "serielle Schnittstelle !\n"
                             "Fehler: Das Programm wird beendet, da keine serielle Schnittstelle "
                             "konfiguriert bzw. aktiviert wurde!\n"),
            std::string::npos)
      << child.err();
}

TEST(HeadlessStartup, EveryPresentPortGetsCompleteWindows1252Sections) {
  Installation inst;
  std::string remap = "[Remap]\r\n";
  for (int n = 1; n <= 8; ++n) remap += "COM" + std::to_string(n) + "=pts/nirgends\r\n";
  WriteBytes(inst.dir.File("ComRemap.ini"), remap);
  ChildProcess child;
  test::RunToEnd(child, {inst.program, "/headless"}, inst.dir.path(), inst.env, kTimeoutMs);
  EXPECT_EQ(Count(child.err(), "Information: Es wurden automatisch"), 8) << child.err();
  for (int n = 1; n <= 8; ++n) {
    EXPECT_NE(child.err().find("Einstellungen für COM" + std::to_string(n) + ": !"),
              std::string::npos);
  }
  const std::string ini = ReadBytes(inst.dir.File("quillon.ini"));
  EXPECT_EQ(Count(ini, "[Schnittstellenparameter f\xFCr COM"), 8) << "Windows-1252 on disk";
  EXPECT_EQ(Count(ini, "Parit\xE4t=0\r\n"), 8);
  EXPECT_EQ(Count(ini, "[AckNak-Einstellungen f\xFCr COM"), 8);
  EXPECT_EQ(Count(ini, "[Modemparameter f\xFCr COM"), 8);
  EXPECT_NE(ini.find("Letze Konfiguration=-"), std::string::npos);
}

TEST(HeadlessStartup, RunsUntilSigtermAndRefusesSecondStart) {
  Installation inst;
  int master = -1;
  int slave = -1;
  char line[256] = {};
  ASSERT_EQ(openpty(&master, &slave, line, nullptr, nullptr), 0);
  WriteBytes(inst.dir.File("ComRemap.ini"), std::string("[Remap]\r\nCOM1=") + line + "\r\n");
  WriteBytes(inst.dir.File("quillon.ini"),
             "[Schnittstellenparameter f\xFCr COM1:]\r\nAktiviert=1\r\n");

  ChildProcess first;
  ASSERT_TRUE(first.Start({inst.program, "/headless"}, inst.dir.path(), inst.env));
  ASSERT_TRUE(first.WaitForOutput("(com1:) ------- Quillon wird gestartet -------", kTimeoutMs))
      << first.err();

  ChildProcess second;
  EXPECT_EQ(
      test::RunToEnd(second, {inst.program, "/headless"}, inst.dir.path(), inst.env, kTimeoutMs),
      255);

  first.Signal(SIGTERM);
  EXPECT_EQ(first.Wait(kTimeoutMs), 0) << first.err();
  EXPECT_NE(first.out().find("(com1:) ------- Quillon wird beendet -------"), std::string::npos);
  close(slave);
  close(master);
}

TEST(HeadlessStartup, ReadOnlyProgramDirectoryMovesSettingsToHome) {
  Installation inst;
  const std::string bin = inst.dir.File("bin");
  std::filesystem::create_directory(bin);
  std::filesystem::copy_file(inst.program, bin + "/quillon");
  std::string remap = "[Remap]\r\nCOM2=pts/nirgends\r\n";
  WriteBytes(bin + "/ComRemap.ini", remap);
  std::filesystem::permissions(
      bin, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
               std::filesystem::perms::group_read | std::filesystem::perms::group_exec);
  ChildProcess child;
  test::RunToEnd(child, {bin + "/quillon", "/headless"}, inst.dir.path(), inst.env, kTimeoutMs);
  EXPECT_FALSE(std::filesystem::exists(bin + "/quillon.ini"));
  const std::string ini = ReadBytes(inst.dir.File(".local/share/quillon/quillon.ini"));
  EXPECT_NE(ini.find("[Schnittstellenparameter f\xFCr COM2:]"), std::string::npos) << child.err();
}

TEST(HeadlessStartup, BadPortOnCommandLineEndsWithItsMessage) {
  Installation inst;
  ChildProcess child;
  const int code = test::RunToEnd(child, {inst.program, "/headless", "/com9"}, inst.dir.path(),
                                  inst.env, kTimeoutMs);
  EXPECT_NE(code, 0);
  EXPECT_NE(code, -1);
  EXPECT_NE(
      child.err().find("Fehler: Fehler in Parameterzeile /com9 Parameter /com ist fehlerhaft !\n"),
      std::string::npos)
      << child.err();
  EXPECT_EQ(child.err().find("Bitte konfigurieren"), std::string::npos)
      << "the program ends before the window step";
}

TEST(HeadlessStartup, SettingsFileThatCannotBeReadEndsTheStartAndStaysAsItWas) {
  const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> cases = {
      {"loop",
       [](const std::string& ini) {
         ASSERT_EQ(symlink((ini + ".b").c_str(), ini.c_str()), 0);
         ASSERT_EQ(symlink(ini.c_str(), (ini + ".b").c_str()), 0);
       }},
      {"fifo", [](const std::string& ini) { ASSERT_EQ(mkfifo(ini.c_str(), 0644), 0); }},
  };
  for (const auto& [name, make] : cases) {
    Installation inst;
    const std::string ini = inst.dir.File("quillon.ini");
    make(ini);
    struct stat before {};
    ASSERT_EQ(lstat(ini.c_str(), &before), 0);
    ChildProcess child;
    EXPECT_EQ(
        test::RunToEnd(child, {inst.program, "/headless"}, inst.dir.path(), inst.env, kTimeoutMs),
        1)
        << name << ": " << child.err();
    EXPECT_NE(child.err().find("Fehler: Die Einstellungsdatei " + ini + " kann nicht gelesen"),
              std::string::npos)
        << name << ": " << child.err();
    EXPECT_EQ(child.out(), "") << name << ": no logbook line, the start ended before";
    struct stat after {};
    ASSERT_EQ(lstat(ini.c_str(), &after), 0) << name;
    EXPECT_EQ(after.st_ino, before.st_ino) << name;
    EXPECT_EQ(after.st_mode, before.st_mode) << name;
  }
}

}  // namespace
}  // namespace quillon
