#include "protocols/ack_nak_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocols/ack_nak.h"
#include "protocols/block_lexer.h"
#include "serial/result_codes.h"

namespace quillon::acknak {
namespace {

std::string Build(char type, const std::string& data, int counter) {
  uint8_t out[kFrameSize];
  const size_t n =
      BuildBlock(type, reinterpret_cast<const uint8_t*>(data.data()), data.size(), counter, out);
  return std::string(reinterpret_cast<char*>(out), n);
}

int Check(const std::string& frame, int counter) {
  const int n = ParseHex2(reinterpret_cast<const uint8_t*>(frame.data()) + 1);
  return CheckFrame(reinterpret_cast<const uint8_t*>(frame.data()), n, counter);
}

TEST(AckNakFrame, KnownBlocks) {
  EXPECT_EQ(Build('+', "AB", 3), "-02+AB343\r");
  EXPECT_EQ(Build('+', "", 0), "-00+0BB\r");
  EXPECT_EQ(Build('1', "MDE-ZEIT", 0), "-081MDE-ZEIT008\r");
  EXPECT_EQ(Build('0', "ENDE", 7), "-0000FF\r") << "the end block is fixed";
  const std::string full(255, 'x');
  const std::string block = Build('+', full, 9);
  EXPECT_EQ(block.size(), 263u);
  EXPECT_EQ(block.substr(0, 4), "-FF+");
}

TEST(AckNakFrame, CheckingReceivedFrames) {
  EXPECT_EQ(Check("-02+AB343\r", 3), rc::kBlockReceived);
  EXPECT_EQ(Check("-02+ab343\r", 3), rc::kBadChecksum) << "data are not digits";
  // Length "0a" and checksum "fe" in lower case, the checksum taken over the digits as sent.
  EXPECT_EQ(Check("-0a+01234567895fe\r", 5), rc::kBlockReceived);
  EXPECT_EQ(Check("-02+AB343\r", 4), rc::kBadCounter);
  EXPECT_EQ(Check("-02+AB344\r", 3), rc::kBadChecksum);
  EXPECT_EQ(Check("-02+AB34G\r", 3), rc::kBadChecksum) << "non-hex checksum digit";
  EXPECT_EQ(Check("-02+AB343X", 3), rc::kNoCr);
  EXPECT_EQ(Check("-0000FF\r", 6), rc::kEndOfTransfer) << "whatever the counter";
  EXPECT_EQ(ParseHex2(reinterpret_cast<const uint8_t*>("G1")), -1);
}

// Lexes the pieces in turn and ends the input; the events as text: "Block(AB)", "BadLength",
// "Cut(-02+AB)" with the frame as it stood.
std::string Lex(const std::vector<std::string>& pieces, int counter) {
  uint8_t frame[kFrameSize];
  BlockLexer lexer(frame);
  std::string events;
  static const char* const kNames[] = {"None", "Block",      "EndBlock",    "BadLength",
                                       "NoCr", "BadCounter", "BadChecksum", "Cut"};
  for (const std::string& piece : pieces) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(piece.data());
    for (size_t at = 0; at < piece.size();) {
      const LexEvent event = lexer.Feed(bytes + at, piece.size() - at, counter);
      at += event.used;
      if (event.kind == LexKind::None) continue;
      events += std::string(" ") + kNames[static_cast<int>(event.kind)];
      if (event.kind == LexKind::Block) {
        events += "(" + std::string(reinterpret_cast<const char*>(event.data), event.length) + ")";
        counter = (counter + 1) % 10;
      }
    }
  }
  const size_t taken = lexer.Taken();
  if (lexer.Cut().kind == LexKind::Cut) {
    events += " Cut(" + std::string(reinterpret_cast<char*>(frame), taken) + ")";
  }
  return events.empty() ? events : events.substr(1);
}

TEST(AckNakFrame, LexerFindsBlocksInWhateverTheLineCarries) {
  struct Case {
    std::vector<std::string> pieces;
    int counter;
    std::string events;
  };
  const std::string binary("\0\r-\xFF", 4);
  const Case cases[] = {
      {{"garbage\x06\x15\r", "-02+AB343\r"}, 3, "Block(AB)"},
      {{"-02+AB343\r-0000FF\r"}, 3, "Block(AB) EndBlock"},
      {{"-0000FF\r"}, 7, "EndBlock"},
      {{"-0a+01234567895fe\r"}, 5, "Block(0123456789)"},
      {{"-04+" + binary + "0F8\r"}, 0, "Block(" + binary + ")"},
      {{"-02+AB344\r", "-02+AB3ZZ\r"}, 3, "BadChecksum BadChecksum"},
      {{"-02+AB243\r"}, 3, "BadCounter"},
      {{"-02+AB343X"}, 3, "NoCr"},
      {{"-G2-02+AB343\r"}, 3, "BadLength Block(AB)"},
      {{"--02+AB343\r"}, 3, "BadLength"},
      {{"-02+AB3"}, 3, "Cut(-02+AB3)"},
      {{"-0"}, 3, "Cut(-0)"},
      {{"-FF+short\r"}, 3, "Cut(-FF+short\r)"},
      {{"-0", "2+A", "B34", "3\r-00", "00FF\r"}, 3, "Block(AB) EndBlock"},
  };
  for (const Case& c : cases) {
    std::string all;
    for (const std::string& piece : c.pieces) all += piece;
    EXPECT_EQ(Lex(c.pieces, c.counter), c.events) << all;
    // However the line splits it, the same events come.
    std::vector<std::string> bytes;
    for (char ch : all) bytes.emplace_back(1, ch);
    EXPECT_EQ(Lex(bytes, c.counter), c.events) << all << " byte by byte";
  }
}

TEST(AckNakFrame, ClockTextAndFileHeader) {
  std::tm tm{};
  tm.tm_year = 126;
  tm.tm_mon = 11;
  tm.tm_mday = 6;
  tm.tm_hour = 14;
  tm.tm_min = 5;
  tm.tm_sec = 9;
  tm.tm_isdst = -1;
  EXPECT_EQ(TerminalClockText(std::mktime(&tm)), "051406122609") << "minutes first";
  EXPECT_EQ(FileInfoHeader("/nonexistent/AUFTRAG.TXT"), "QUILLON DATENTRANSFER");
}

}  // namespace
}  // namespace quillon::acknak
