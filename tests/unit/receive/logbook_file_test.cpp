#include "receive/logbook_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/format.h"
#include "common/texts.h"
#include "logbook_fixture.h"
#include "receive/logbook_line.h"

namespace quillon {
namespace {

using test::LogbookTest;
using test::ReadBytes;
using test::WriteBytes;

TEST_F(LogbookTest, SaveAndLoadKeepUmlautsAsUtf8WithCrLf) {
  log_->AddLine(1, "Übertragung beendet: Größe 12 Bytes");
  log_->AddLine(1, "zweite Zeile");
  log_->AddLine(kAllPorts, txt::kLogEnding);
  const auto before1 = log_->Lines(1);
  const auto before2 = log_->Lines(2);
  const std::string file1 = before1[0] + "\r\n" + before1[1] + "\r\n" + before1[2] + "\r\n";
  EXPECT_EQ(ReadBytes(app_.GlobalApp.PortLogFile[1]), file1) << "each line is in at once";
  MakeLogbook();  // the program was killed: nothing saved
  log_->Load();
  EXPECT_EQ(log_->Lines(1), before1);
  EXPECT_EQ(log_->Lines(2), before2);
  log_->Save(0);

  const std::string bytes = ReadBytes(app_.GlobalApp.PortLogFile[1]);
  EXPECT_EQ(bytes, file1);
  EXPECT_NE(bytes.find("\xC3\x9C"
                       "bertragung"),
            std::string::npos)
      << "UTF-8 Ü";
  EXPECT_FALSE(std::filesystem::exists(app_.GlobalApp.PortLogFile[3])) << "LogLevel 0: no file";

  MakeLogbook();
  log_->Load();
  EXPECT_EQ(log_->Lines(1), before1);
  EXPECT_EQ(log_->Lines(2), before2);
  EXPECT_TRUE(log_->Lines(3).empty());
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(LogbookTest, SaveOfOnePortWritesOnlyThatPort) {
  log_->AddLine(kAllPorts, "für alle");
  for (const int n : {1, 2}) WriteBytes(app_.GlobalApp.PortLogFile[n], "");
  log_->Save(2);
  EXPECT_EQ(ReadBytes(app_.GlobalApp.PortLogFile[1]), "");
  EXPECT_EQ(ReadBytes(app_.GlobalApp.PortLogFile[2]), log_->Lines(2)[0] + "\r\n");
}

TEST(LogbookFile, ParsesEveryLineEndAndBothEncodings) {
  struct Case {
    const char* legend;
    std::string bytes;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"CR LF", "a\r\nb\r\n", {"a", "b"}},
      {"LF without a final break", "a\nb", {"a", "b"}},
      {"empty line kept", "a\r\n\r\nb\r\n", {"a", "", "b"}},
      {"Windows-1252",
       "Gr\xF6\xDF"
       "e\r\n",
       {"Größe"}},
      {"UTF-8 with byte order mark",
       "\xEF\xBB\xBFGr\xC3\xB6\xC3\x9F"
       "e\n",
       {"Größe"}},
      {"empty file", "", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseLogbookFile(c.bytes), c.lines) << c.legend;
}

TEST_F(LogbookTest, LoadTrimsAnOverlongFile) {
  std::string bytes;
  for (int i = 0; i < 450; ++i) bytes += "Zeile " + std::to_string(i) + "\n";
  WriteBytes(app_.GlobalApp.PortLogFile[1], bytes);
  log_->Load();
  const auto lines = log_->Lines(1);
  ASSERT_EQ(lines.size(), 400u);
  EXPECT_EQ(lines.front(), "Zeile 50");
  const std::string file = ReadBytes(app_.GlobalApp.PortLogFile[1]);
  EXPECT_TRUE(file.starts_with("Zeile 50\r\n")) << "trimmed on disk too";
  EXPECT_EQ(ParseLogbookFile(file), lines);
}

TEST_F(LogbookTest, UnreadableFileGivesANewLogbookAndAnErrorBox) {
  const std::string& path = app_.GlobalApp.PortLogFile[2];
  std::filesystem::create_directory(path);  // stands where the file should be
  log_->Load();
  EXPECT_EQ(log_->Lines(2),
            std::vector<std::string>{FormatLogbookLine(2, txt::kLogbookCreated, now_)});
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].kind, MessageKind::Error);
  EXPECT_EQ(ui_.messages[0].text, "Fehler beim Laden der Logbuchdatei " + path);
  EXPECT_TRUE(log_->Lines(1).empty()) << "a missing file is no error";
}

TEST_F(LogbookTest, FifoOrLinkInPlaceOfTheFileIsLeftAsItIs) {
  const std::string& fifo = app_.GlobalApp.PortLogFile[1];
  const std::string& link = app_.GlobalApp.PortLogFile[2];
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  WriteBytes(dir_.File("anderswo"), "fremd\r\n");
  std::filesystem::create_symlink(dir_.File("anderswo"), link);
  log_->Load();  // reading the FIFO would block here
  log_->AddLine(kAllPorts, "danach");
  log_->CloseForExit();
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadBytes(dir_.File("anderswo")), "fremd\r\n") << "not written through the link";
  for (const std::string& path : {fifo, link}) {
    EXPECT_EQ(ui_.Count(Format(txt::kLogbookLoadFailed, path)), 1) << path;
    EXPECT_EQ(ui_.Count(Format(txt::kLogbookSaveFailed, path)), 0) << path << ": never written";
  }
}

TEST_F(LogbookTest, FailedSaveShowsAnErrorBoxAndKeepsTheOldFile) {
  const std::string& path = app_.GlobalApp.PortLogFile[1];
  app_.GlobalApp.PortLogFile[2] = dir_.File("fehlt/quillon_com2.log");
  WriteBytes(path, "alt\r\n");
  chmod(path.c_str(), 0444);  // read-only files are refused, also for root
  log_->AddLine(kAllPorts, "neu");
  log_->AddLine(kAllPorts, "noch eine");
  log_->Save(0);
  EXPECT_EQ(ReadBytes(path), "alt\r\n");
  EXPECT_EQ(ui_.Count("Fehler beim Speichern der Logbuchdatei " + path), 1) << "once";
  EXPECT_EQ(ui_.Count(Format(txt::kLogbookSaveFailed, app_.GlobalApp.PortLogFile[2])), 1);

  chmod(path.c_str(), 0644);
  log_->AddLine(1, "geschrieben");
  chmod(path.c_str(), 0444);
  log_->AddLine(1, "wieder nicht");
  EXPECT_EQ(ui_.Count(Format(txt::kLogbookSaveFailed, path)), 2) << "again after a success";
}

}  // namespace
}  // namespace quillon
