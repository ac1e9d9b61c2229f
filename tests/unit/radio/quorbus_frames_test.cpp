#include "radio/quorbus_frames.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace quillon::quorbus {
namespace {

// A reply as a satellite sends it, the checksum summed here by hand.
std::string Reply(char address, const std::string& data) {
  const std::string body = std::string{kStx, address} + data + kEtx;
  unsigned sum = 0;
  for (unsigned char c : body) sum += c;
  char digits[3];
  snprintf(digits, sizeof digits, "%02X", sum & 0xFF);
  return kAck + body + digits + kCr;
}

TEST(QuorbusFrames, RequestBytes) {
  // STX e ESC 5 ESC ETX: 2 + 0x65 + 0x1B + 0x35 + 0x1B + 3 = 0xD5.
  EXPECT_EQ(BuildRequest(101, "5"),
            "\x02"
            "e\x1B"
            "5\x1B\x03"
            "D5\r");
  // 2 + 7 + 0x1B + 0x30 + 0x2A + 0x1B + 3 = 0x9C.
  EXPECT_EQ(BuildRequest(7, "0*"),
            "\x02\x07\x1B"
            "0*\x1B\x03"
            "9C\r");
  const std::string cut = BuildRequest(150, std::string(300, 'x'));
  EXPECT_EQ(cut.size(), 255u + 3u) << "STX..ETX cut to 255 bytes, checksum and CR after";
  EXPECT_EQ(cut.substr(252, 3), "x\x1B\x03");
  EXPECT_EQ(AddressByte(5, true), 105);
  EXPECT_EQ(AddressByte(0, false), 0);
  EXPECT_EQ(AddressByte(100, true), 200);
  EXPECT_FALSE(AddressByte(101, false));
  EXPECT_FALSE(AddressByte(-1, true));
}

TEST(QuorbusFrames, ReplyChecks) {
  const std::string good = Reply('e', "OK");
  struct Case {
    std::string reply;
    uint8_t address;
    int result;
    const char* data;
  } cases[] = {
      {good, 101, kOk, "OK"},
      {Reply('\x03', "A"), 3, kOk, "A"},                    // the address byte may look like ETX
      {good.substr(0, 7) + "0\r", 101, kInvalidReply, ""},  // wrong checksum
      {good, 102, kInvalidReply, ""},
      {good.substr(1), 101, kInvalidReply, ""},                   // no ACK
      {Reply('e', "").substr(0, 7), 101, kInvalidReply, ""},      // fewer than 8 bytes
      {Reply('e', "OKOK").substr(0, 9), 101, kInvalidReply, ""},  // cut in the checksum
      {std::string{kAck, kStx, 'e', 'O', 'K', 'O', 'K', kCr}, 101, kInvalidReply, ""},  // no ETX
  };
  for (const Case& c : cases) {
    std::string data = "stale";
    EXPECT_EQ(CheckReply(c.reply, c.address, data), c.result) << c.reply;
    EXPECT_EQ(data, c.data) << c.reply;
  }
  // The checksum is compared as text: lower-case hex digits do not match.
  const std::string upper = Reply('e', "Z");  // 2 + 0x65 + 0x5A + 3 = 0xC4
  ASSERT_EQ(upper.substr(5, 2), "C4");
  std::string lowerCase = upper;
  lowerCase[5] = 'c';
  std::string data;
  EXPECT_EQ(CheckReply(lowerCase, 101, data), kInvalidReply);
}

TEST(QuorbusFrames, NumberBytesAndCommands) {
  EXPECT_EQ(NumberByteText(128 + 12), "21");
  EXPECT_EQ(NumberByteText(128 + 50), "05");
  EXPECT_EQ(NumberByteText(128), "00");
  EXPECT_EQ(NumberByteText(128 + 99), "99");
  EXPECT_EQ(NumberByteText(255), "72") << "hundreds digit dropped, always two digits";
  EXPECT_EQ(ConvertStoredLine("A\x8C;B"), "A21;B");
  EXPECT_EQ(TerminalByte(5), '\x85');
  EXPECT_FALSE(TerminalByte(128));
  struct Config {
    int newId, baud, first, last, check;
    std::string command;
  } configs[] = {
      {7, 9600, 1, 20, kOk,
       std::string("L\x33"
                   "3\x6B\x81\x94")},
      {0, 19200, 0, 0, kOk,
       std::string("L\x19"
                   "3\x64\x80\x80")},
      {100, 38400, 3, 4, kOk,
       std::string("L\x0C"
                   "3\xC8\x83\x84")},
      {101, 9600, 1, 2, -7, ""},
      {5, 9600, -1, 2, -8, ""},
      {5, 9600, 3, 2, -8, ""},
      {5, 9600, 1, 128, -8, ""},
      {5, 4800, 1, 2, -9, ""},
  };
  for (const Config& c : configs) {
    EXPECT_EQ(CheckConfiguration(c.newId, c.baud, c.first, c.last), c.check) << c.newId;
    EXPECT_EQ(ConfigurationCommand(c.newId, c.baud, c.first, c.last), c.command) << c.newId;
  }
  EXPECT_TRUE(HasMarker("x<SYS>y", Marker::Sys));
  EXPECT_FALSE(HasMarker("<SYS", Marker::Sys));
}

}  // namespace
}  // namespace quillon::quorbus
