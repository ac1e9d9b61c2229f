#include "protocols/zmodem_frames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon::xyz::zmodem {
namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }
std::string Text(const std::vector<uint8_t>& v) { return {v.begin(), v.end()}; }

HeaderScan Scan(const std::string& s) {
  return ScanHeader(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

SubpacketScan Decode(const std::string& s, bool crc32, std::vector<uint8_t>& out) {
  return DecodeSubpacket(reinterpret_cast<const uint8_t*>(s.data()), s.size(), crc32, out);
}

TEST(ZmodemFrames, HeadersOnTheWire) {
  // As a receiver and a sender announce themselves: ZRINIT (full duplex, overlapped I/O,
  // CRC-32) and ZRQINIT, each hex with CR, LF with its high bit, XON.
  std::vector<uint8_t> out;
  AppendHeader(out, Header::WithFlags(kZrinit, kCanFdx | kCanOvio | kCanFc32));
  EXPECT_EQ(Text(out), "**\030B0100000023be50\r\x8a\x11");
  out.clear();
  AppendHeader(out, Header::AtPosition(kZrqinit, 0));
  EXPECT_EQ(Text(out), "**\030B00000000000000\r\x8a\x11");
  out.clear();
  AppendHeader(out, Header::AtPosition(kZfin, 0));
  EXPECT_EQ(out.back(), 0x8A) << "no XON after ZFIN";

  const HeaderScan scan = Scan("rz\r**\030B0100000023BE50\r\x8a\x11");
  ASSERT_EQ(scan.result, Decoded::kComplete) << "garbage before, upper-case digits";
  EXPECT_EQ(scan.header.type, kZrinit);
  EXPECT_EQ(scan.header.Flag0(), kCanFdx | kCanOvio | kCanFc32);
  EXPECT_EQ(scan.consumed, 23u);
  EXPECT_EQ(Scan("**\030B0100000023be51\r\n").result, Decoded::kBad);
  EXPECT_EQ(Scan("**\030B0100000023b").result, Decoded::kNeedMore);
  EXPECT_EQ(Scan("junk\x18\x18\x18\x18\x18").result, Decoded::kCancelled);
  EXPECT_EQ(Scan("junk\x18\x18").consumed, 4u) << "a CAN run is kept, it may grow";
}

TEST(ZmodemFrames, HeaderRoundTripsInEveryFormat) {
  const Header headers[] = {Header::AtPosition(kZrpos, 0x12345678), Header::AtPosition(kZdata, 0),
                            Header::AtPosition(kZeof, 0x18111318),  // bytes that need escaping
                            Header::WithFlags(kZfile, kZcbin, 0x0D)};
  for (const HeaderFormat format :
       {HeaderFormat::kHex, HeaderFormat::kBin16, HeaderFormat::kBin32}) {
    for (Header header : headers) {
      header.format = format;
      std::vector<uint8_t> wire = Bytes("\021garbage*");
      AppendHeader(wire, header);
      const HeaderScan scan = ScanHeader(wire.data(), wire.size());
      ASSERT_EQ(scan.result, Decoded::kComplete) << static_cast<int>(format);
      EXPECT_EQ(scan.header.type, header.type);
      EXPECT_EQ(scan.header.Position(), header.Position());
      EXPECT_EQ(scan.header.format, format);
      for (size_t cut = 9; cut < scan.consumed - 2; ++cut) {
        EXPECT_EQ(ScanHeader(wire.data(), cut).result, Decoded::kNeedMore) << cut;
      }
      if (format != HeaderFormat::kHex) {
        wire[wire.size() - 1] ^= 0x01;
        EXPECT_NE(ScanHeader(wire.data(), wire.size()).result, Decoded::kComplete);
      }
    }
  }
}

TEST(ZmodemFrames, EscapingAndSubpackets) {
  std::vector<uint8_t> out = Bytes("x");
  const std::string raw = "\x18\x10\x11\x13\x90\x91\x93\x98@\rA\r\xc0\x8d\x7f\xff";
  AppendEscaped(out, reinterpret_cast<const uint8_t*>(raw.data()), raw.size());
  EXPECT_EQ(Text(out),
            "x\x18X\x18P\x18Q\x18S\x18\xd0\x18\xd1\x18\xd3\x18\xd8@\x18MA\r\xc0\x18\xcd\x7f\xff");

  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  for (const bool crc32 : {false, true}) {
    for (const uint8_t end : {kZcrce, kZcrcg, kZcrcq, kZcrcw}) {
      std::vector<uint8_t> wire;
      AppendSubpacket(wire, reinterpret_cast<const uint8_t*>(all.data()), all.size(), end, crc32);
      const std::string sent = Text(wire) + "**";
      std::vector<uint8_t> data;
      const SubpacketScan scan = Decode(sent, crc32, data);
      ASSERT_EQ(scan.result, Decoded::kComplete);
      EXPECT_EQ(scan.end, end);
      EXPECT_EQ(scan.consumed, wire.size()) << "the header after it stays";
      EXPECT_EQ(Text(data), all);
      EXPECT_EQ(Decode(sent.substr(0, wire.size() - 1), crc32, data).result, Decoded::kNeedMore);
      std::string damaged = sent;
      damaged[100] ^= 0x02;
      EXPECT_EQ(Decode(damaged, crc32, data).result, Decoded::kBad);
    }
  }
  std::vector<uint8_t> data;
  std::vector<uint8_t> wire;
  AppendSubpacket(wire, reinterpret_cast<const uint8_t*>("\177\377ab"), 4, kZcrcw, false);
  // The same subpacket as another sender may write it: 0x7F and 0xFF as ZRUB0/ZRUB1, an escaped
  // plain letter, bare XON/XOFF noise in between.
  const std::string other = "\x18l\x11\x18m\x18!b\x13" + Text(wire).substr(4);
  ASSERT_EQ(Decode(other, false, data).result, Decoded::kComplete);
  EXPECT_EQ(Text(data), "\177\377ab");
  EXPECT_EQ(Decode("data\x18\x18\x18\x18\x18", true, data).result, Decoded::kCancelled);
  EXPECT_EQ(Decode(std::string(kMaxSubpacket + 1, 'a'), true, data).result, Decoded::kBad);
}

}  // namespace
}  // namespace quillon::xyz::zmodem
