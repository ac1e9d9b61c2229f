#include <gtest/gtest.h>

#include "common/format.h"
#include "common/texts.h"
#include "config/settings_store.h"
#include "logbook_fixture.h"
#include "receive/external_logbook.h"
#include "receive/logbook_line.h"

namespace quillon {
namespace {

using test::LogbookTest;
using test::Noon;
using test::ReadBytes;

class LogbookExternalTest : public LogbookTest {
 protected:
  LastExtLog Persisted() { return SettingsStore(app_, ui_).ReadLastExtLog(); }
};

TEST_F(LogbookExternalTest, ThreeDaySlotsAreReusedOnTheFourthDay) {
  log_->Load();
  struct Day {
    std::time_t when;
    int slot;
  };
  const Day days[] = {
      {Noon(2024, 2, 28), 1}, {Noon(2024, 2, 29), 2}, {Noon(2024, 3, 1), 3}, {Noon(2024, 3, 2), 1}};
  for (const Day& day : days) {
    now_ = day.when;
    const std::string legend = FormatUntaggedLogbookLine("", now_);
    log_->AddLine(1, "morgens");
    log_->AddLine(1, "abends");
    EXPECT_EQ(app_.GlobalApp.ExtLogIndex, day.slot) << legend;
    EXPECT_EQ(app_.PortSettings[1].ExtLogFile, ExtFile(1, day.slot)) << legend;
    EXPECT_EQ(ReadBytes(ExtFile(1, day.slot)), FormatLogbookLine(1, "morgens", now_) + "\r\n" +
                                                   FormatLogbookLine(1, "abends", now_) + "\r\n")
        << legend << ": the slot holds this day only";
    const LastExtLog saved = Persisted();
    EXPECT_EQ(saved.Index, day.slot) << legend;
    EXPECT_EQ(saved.Date, app_.GlobalApp.ExtLogDate) << legend;
  }
  EXPECT_EQ(Persisted().Date, (CivilDate{2024, 3, 2}));
  EXPECT_EQ(ExtDirEntries(), (std::vector<std::string>{"COM1_Logbuch1.txt", "COM1_Logbuch2.txt",
                                                       "COM1_Logbuch3.txt"}));
}

TEST_F(LogbookExternalTest, NewDaySlotDeletesTheFilesOfEveryPort) {
  log_->Load();
  test::WriteBytes(ExtFile(5, 1), "alt\r\n");  // a port that writes nothing today
  log_->AddLine(1, "heute");
  EXPECT_FALSE(std::filesystem::exists(ExtFile(5, 1)));
  EXPECT_EQ(app_.PortSettings[5].ExtLogFile, ExtFile(5, 1));
}

TEST_F(LogbookExternalTest, RestartGoesOnWithTheSavedSlot) {
  log_->Load();
  log_->AddLine(1, "vor dem Neustart");

  struct Restart {
    const char* legend;
    std::time_t when;
    int slot;
    bool keepsOldLines;
  };
  const Restart restarts[] = {
      {"same day: same slot, nothing deleted", Noon(2024, 3, 1), 1, true},
      {"next day: next slot", Noon(2024, 3, 2), 2, false},
  };
  for (const Restart& r : restarts) {
    app_.GlobalApp.ExtLogIndex = -1;  // a new process knows nothing yet
    app_.GlobalApp.ExtLogDate = {};
    for (int n = 1; n <= kPortCount; ++n) app_.PortSettings[n].ExtLogFile.clear();
    MakeLogbook();
    now_ = r.when;
    log_->Load();
    EXPECT_EQ(app_.PortSettings[1].ExtLogFile, ExtFile(1, app_.GlobalApp.ExtLogIndex))
        << r.legend << ": names built at load";
    log_->AddLine(1, "nach dem Neustart");
    EXPECT_EQ(app_.GlobalApp.ExtLogIndex, r.slot) << r.legend;
    const std::string content = ReadBytes(ExtFile(1, r.slot));
    EXPECT_EQ(content.find("vor dem Neustart") != std::string::npos, r.keepsOldLines) << r.legend;
    EXPECT_NE(content.find("nach dem Neustart"), std::string::npos) << r.legend;
  }
}

TEST_F(LogbookExternalTest, ZeroDaysWritesNoExternalFile) {
  app_.GlobalApp.ExtLogDays = 0;
  log_->Load();
  for (int day = 1; day <= 3; ++day) {
    now_ = Noon(2024, 3, day);
    log_->AddLine(kAllPorts, "Zeile");
    log_->AddLine(2, "Zeile");
  }
  EXPECT_TRUE(ExtDirEntries().empty());
  EXPECT_EQ(app_.GlobalApp.ExtLogIndex, -1);
  EXPECT_TRUE(app_.PortSettings[1].ExtLogFile.empty());
  EXPECT_EQ(Persisted().Index, -1) << "nothing saved";
  EXPECT_EQ(log_->Lines(2).size(), 6u) << "the in-memory logbook works as ever";
}

TEST_F(LogbookExternalTest, SwitchingOffDropsTheFileNamesOnTheNextDay) {
  log_->Load();
  log_->AddLine(1, "an");
  app_.GlobalApp.ExtLogDays = 0;
  now_ = Noon(2024, 3, 2);
  log_->AddLine(1, "aus");
  EXPECT_TRUE(app_.PortSettings[1].ExtLogFile.empty());
  EXPECT_EQ(ReadBytes(ExtFile(1, 1)).find("aus"), std::string::npos);
}

TEST_F(LogbookExternalTest, UnwritableDirectoryIsReportedOnce) {
  app_.GlobalApp.ExtLogDir = dir_.File("gibt es nicht");
  log_->Load();
  log_->AddLine(1, "eins");
  log_->AddLine(1, "zwei");
  const std::string file = ExternalLogbookFileName(dir_.File("gibt es nicht"), 1, 1);
  EXPECT_EQ(file, dir_.File("gibt es nicht/COM1_Logbuch1.txt"));
  EXPECT_EQ(ui_.Count("Fehler beim Schreiben der externen Logbuchdatei " + file), 1);
  EXPECT_EQ(log_->Lines(1).size(), 2u);
}

TEST_F(LogbookExternalTest, LinkInPlaceOfTheFileIsNotWrittenThrough) {
  ASSERT_TRUE(SettingsStore(app_, ui_).WriteLastExtLog(1, CivilDate{2024, 3, 1}));  // no new day
  test::WriteBytes(dir_.File("anderswo"), "fremd\r\n");
  std::filesystem::create_symlink(dir_.File("anderswo"), ExtFile(1, 1));
  log_->Load();
  log_->AddLine(1, "eins");
  log_->AddLine(1, "zwei");
  EXPECT_EQ(ReadBytes(dir_.File("anderswo")), "fremd\r\n");
  EXPECT_EQ(ui_.Count(Format(txt::kExtLogWriteFailed, ExtFile(1, 1))), 1);
}

TEST(LogbookExternalNames, DirectoryAsGivenWithASlashAdded) {
  EXPECT_EQ(ExternalLogbookFileName("/var/log/quillon/", 3, 7),
            "/var/log/quillon/COM3_Logbuch7.txt");
  EXPECT_EQ(ExternalLogbookFileName("/var/log/quillon", 8, 1),
            "/var/log/quillon/COM8_Logbuch1.txt");
}

}  // namespace
}  // namespace quillon
