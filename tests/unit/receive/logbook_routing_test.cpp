#include <gtest/gtest.h>

#include "common/texts.h"
#include "logbook_fixture.h"
#include "receive/logbook_line.h"

namespace quillon {
namespace {

using test::LogbookTest;
using test::ReadBytes;

TEST_F(LogbookTest, LineForAllPortsIsUntaggedInMemoryAndTaggedEverywhereElse) {
  app_.GlobalApp.LogPrinter = 2;
  test::WriteBytes(dir_.File("lp1"), "");  // the printer device must exist; it is not created
  // Live slots not reloaded since their ports were ticked or cleared in the setup dialog: the
  // active flags count.
  for (int n = 1; n <= kPortCount; ++n) app_.PortSettings[n].Enabled = n == 4;
  log_->AddLine(kAllPorts, txt::kLogStarting);

  const std::string untagged = FormatUntaggedLogbookLine(txt::kLogStarting, now_);
  const std::string com1 = FormatLogbookLine(1, txt::kLogStarting, now_);
  const std::string com2 = FormatLogbookLine(2, txt::kLogStarting, now_);
  EXPECT_EQ(untagged.substr(0, 22), "01.03.2024 12:00:00   ");
  EXPECT_EQ(com1.substr(22, 8), "(com1:) ");

  for (int port = 1; port <= kPortCount; ++port) {
    const bool logs = port == 1 || port == 2;
    EXPECT_EQ(log_->Lines(port),
              logs ? std::vector<std::string>{untagged} : std::vector<std::string>{})
        << "COM" << port << " (present, enabled and logging: only COM1 and COM2)";
  }
  EXPECT_EQ(echoed_, (std::vector<std::string>{com1, com2}));
  EXPECT_EQ(ReadBytes(ExtFile(1, 1)), com1 + "\r\n");
  EXPECT_EQ(ReadBytes(ExtFile(2, 1)), com2 + "\r\n");
  EXPECT_EQ(ExtDirEntries(), (std::vector<std::string>{"COM1_Logbuch1.txt", "COM2_Logbuch1.txt"}));
  EXPECT_EQ(ReadBytes(dir_.File("lp1")), com1 + "\r\n" + com2 + "\r\n") << "LPT2: is device 1";
  EXPECT_EQ(refreshed_, std::vector<int>{kAllPorts});
}

TEST_F(LogbookTest, LineForAPortWithoutLoggingIsDropped) {
  app_.GlobalApp.LogPrinter = 1;
  test::WriteBytes(dir_.File("lp0"), "");
  log_->AddLine(3, "Kommunikationsfehler");
  for (int port = 1; port <= kPortCount; ++port) {
    EXPECT_TRUE(log_->Lines(port).empty()) << "COM" << port;
  }
  EXPECT_TRUE(echoed_.empty());
  EXPECT_TRUE(refreshed_.empty());
  EXPECT_EQ(ReadBytes(dir_.File("lp0")), "") << "not printed";
  EXPECT_TRUE(ExtDirEntries().empty()) << "not written externally";
}

TEST_F(LogbookTest, PortLineGoesToItsListPrinterExternalFileAndEcho) {
  app_.GlobalApp.LogPrinter = 1;
  test::WriteBytes(dir_.File("lp0"), "");
  log_->AddLine(2, "Empfange Datei Größe.dat");
  const std::string line = FormatLogbookLine(2, "Empfange Datei Größe.dat", now_);
  EXPECT_EQ(log_->Lines(2), std::vector<std::string>{line});
  EXPECT_TRUE(log_->Lines(1).empty());
  EXPECT_EQ(echoed_, std::vector<std::string>{line});
  EXPECT_EQ(ReadBytes(ExtFile(2, 1)), line + "\r\n") << "UTF-8 in the external file";
  EXPECT_EQ(ReadBytes(dir_.File("lp0")),
            "01.03.2024 12:00:00   (com2:) Empfange Datei Gr\xF6\xDF"
            "e.dat\r\n")
      << "Windows-1252 on the printer";
  EXPECT_EQ(refreshed_, std::vector<int>{2});
}

TEST_F(LogbookTest, MissingPrinterIsIgnored) {
  app_.GlobalApp.LogPrinter = 3;  // lp2 does not exist and is not created
  log_->AddLine(1, "ohne Drucker");
  EXPECT_EQ(log_->Lines(1).size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("lp2")));
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(LogbookTest, EmptyTextOnlyRefreshesAndBadPortsAreIgnored) {
  log_->AddLine(1, "");
  log_->AddLine(0, "Port 0");
  log_->AddLine(9, "Port 9");
  log_->AddLine(-2, "Port -2");
  EXPECT_EQ(refreshed_, std::vector<int>{1});
  EXPECT_TRUE(echoed_.empty());
  EXPECT_TRUE(log_->Lines(1).empty());
  EXPECT_TRUE(log_->Lines(9).empty());
}

TEST_F(LogbookTest, TextFromATerminalStaysOneValidUtf8Line) {
  log_->AddLine(1, "Datei A\r\nB\nC \xE4.dat");  // line breaks and a Windows-1252 "ä"
  const auto lines = log_->Lines(1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(30), "Datei A  B C ä.dat");
  EXPECT_EQ(ReadBytes(ExtFile(1, 1)), lines[0] + "\r\n");
}

TEST_F(LogbookTest, TakeOverMovesPendingLinesAndClearsTheDataFlag) {
  status_[1].LogLines = {"erste", "zweite"};
  status_[1].DataChanged = true;
  status_[2].DataChanged = true;
  status_[3].LogLines = {"Fehler bei Logstufe 0"};

  log_->TakeOver(0, false, true);
  EXPECT_EQ(log_->Lines(1), (std::vector<std::string>{FormatLogbookLine(1, "erste", now_),
                                                      FormatLogbookLine(1, "zweite", now_)}));
  EXPECT_TRUE(status_[1].LogLines.empty());
  EXPECT_TRUE(status_[3].LogLines.empty()) << "taken, then dropped for LogLevel 0";
  EXPECT_TRUE(log_->Lines(3).empty());
  EXPECT_FALSE(status_[1].DataChanged);
  EXPECT_FALSE(status_[2].DataChanged);
  EXPECT_EQ(refreshed_, (std::vector<int>{1, 3})) << "one refresh per port that had lines";

  refreshed_.clear();
  status_[2].DataChanged = true;
  status_[2].LogLines = {"dritte"};
  log_->TakeOver(2, true, false);
  EXPECT_TRUE(status_[2].DataChanged) << "kept without clearDataFlag";
  EXPECT_EQ(log_->Lines(2).size(), 1u);
  EXPECT_TRUE(log_->Lines(1).size() == 2u) << "other ports untouched";

  refreshed_.clear();
  log_->TakeOver(1, true, false);
  EXPECT_EQ(refreshed_, std::vector<int>{1}) << "forceDisplay refreshes without lines";
}

}  // namespace
}  // namespace quillon
