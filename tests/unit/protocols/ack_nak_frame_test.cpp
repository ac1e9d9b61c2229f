#include "protocols/ack_nak_frame.h"

#include <gtest/gtest.h>

#include <string>

#include "protocols/ack_nak.h"
#include "serial/result_codes.h"

namespace quillon::acknak {
namespace {

std::string Build(char type, const std::string& data, int counter) {
  uint8_t out[kFrameSize];
  const size_t n = BuildBlock(type, reinterpret_cast<const uint8_t*>(data.data()), data.size(),
                              counter, out);
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

TEST(AckNakFrame, ClockTextAndFileHeader) {
  std::tm tm {};
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
