#include <gtest/gtest.h>

#include "logbook_fixture.h"
#include "receive/logbook_append.h"
#include "receive/logbook_file.h"
#include "receive/logbook_line.h"
#include "receive/logbook_list.h"

namespace quillon {
namespace {

std::string Numbered(int i, size_t width) {
  std::string line = std::to_string(i);
  line.resize(width, '.');
  return line;
}

TEST(LogbookLimits, The401stLinePushesOutTheOldest) {
  LogbookList list;
  for (int i = 0; i < 401; ++i) list.Add(Numbered(i, 10));
  const auto lines = list.Lines();
  ASSERT_EQ(lines.size(), 400u);
  EXPECT_EQ(lines.front(), Numbered(1, 10));
  EXPECT_EQ(lines.back(), Numbered(400, 10));
}

TEST(LogbookLimits, TextStaysWithin25000CharactersCountingLineBreaks) {
  // 98 characters + CR LF: a full list is 250 lines of exactly 25000 characters.
  LogbookList list;
  for (int i = 0; i < 300; ++i) list.Add(Numbered(i, 98));
  EXPECT_EQ(list.Count(), 250u);
  EXPECT_EQ(list.TextLength(), 25000u);
  EXPECT_EQ(list.Lines().front(), Numbered(50, 98));

  // 99 + 2 characters: a line is added only while the text is below 25000 - 99, so the list
  // settles at 247 lines (24947 characters).
  LogbookList wider;
  for (int i = 0; i < 300; ++i) wider.Add(Numbered(i, 99));
  EXPECT_EQ(wider.Count(), 247u);
  EXPECT_EQ(wider.TextLength(), 24947u);
}

TEST(LogbookLimits, UmlautsCountAsOneCharacterEach) {
  std::string umlauts;
  for (int i = 0; i < 98; ++i) umlauts += "ä";  // 98 characters in 196 bytes
  LogbookList list;
  for (int i = 0; i < 300; ++i) list.Add(umlauts);
  EXPECT_EQ(list.Count(), 250u) << "the limit counts characters, not bytes";
  EXPECT_EQ(LogbookCharCount("Grüße aus Köln"), 14u);
}

TEST(LogbookLimits, A30000CharacterLineEmptiesTheListAndIsThenPushedOut) {
  LogbookList list;
  for (int i = 0; i < 10; ++i) list.Add(Numbered(i, 20));
  const std::string huge(30000, 'x');
  list.Add(huge);
  ASSERT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.Lines().front(), huge);
  list.Add("danach");
  EXPECT_EQ(list.Lines(), std::vector<std::string>{"danach"});
}

TEST(LogbookLimits, LoadedListIsTrimmedFromTheOldest) {
  struct Case {
    const char* legend;
    size_t lines;
    size_t width;
    size_t expectCount;
  };
  const Case cases[] = {
      {"450 short lines keep the newest 400", 450, 10, 400},
      {"300 lines of 100 characters keep 245 (245 * 102 <= 25000)", 300, 100, 245},
      {"exactly 250 lines of 98 characters fit", 250, 98, 250},
      {"a lone line above the limit does not stay", 1, 30000, 0},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < c.lines; ++i) lines.push_back(Numbered(static_cast<int>(i), c.width));
    LogbookList list;
    list.Assign(lines);
    EXPECT_EQ(list.Count(), c.expectCount) << c.legend;
    if (c.expectCount > 0) {
      EXPECT_EQ(list.Lines().back(), lines.back()) << c.legend;
    }
    EXPECT_LE(list.TextLength(), kLogbookMaxChars) << c.legend;
  }
}

using test::LogbookTest;
using test::ReadBytes;

TEST_F(LogbookTest, LimitsHoldForFormattedLinesOfAPort) {
  for (int i = 0; i < 401; ++i) log_->AddLine(1, "Zeile " + std::to_string(i));
  const auto lines = log_->Lines(1);
  ASSERT_EQ(lines.size(), 400u);
  EXPECT_EQ(lines.front(), FormatLogbookLine(1, "Zeile 1", now_));

  log_->AddLine(1, std::string(30000, 'x'));
  EXPECT_EQ(log_->Lines(1).size(), 1u);
}

TEST_F(LogbookTest, FileGrowingFarBeyondTheListIsRewrittenFromIt) {
  // Lines of about 1000 bytes: the list keeps 24, the file is rewritten after some 100.
  const std::string& path = app_.GlobalApp.PortLogFile[1];
  int rewrites = 0;
  for (int i = 0; i < 250; ++i) {
    log_->AddLine(1, Numbered(i, 1000));
    const std::string file = ReadBytes(path);
    const auto lines = log_->Lines(1);
    ASSERT_TRUE(file.ends_with(lines.back() + "\r\n")) << i;
    ASSERT_LE(file.size(), kLogbookMaxChars + kLogbookFileGrowthBytes + 2000) << i;
    if (static_cast<size_t>(i) > lines.size() && ParseLogbookFile(file) == lines) ++rewrites;
  }
  EXPECT_GE(rewrites, 2);
}

}  // namespace
}  // namespace quillon
