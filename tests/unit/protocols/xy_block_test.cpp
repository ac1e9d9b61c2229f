// X/Y-Modem blocks: a damaged block is never taken, and block 0's file header is read as
// senders write it.
#include "protocols/xy_block.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quillon::xyz {
namespace {

TEST(XyBlock, AnyDamagedByteMakesTheBlockInvalid) {
  for (const CheckKind check : {CheckKind::kCrc16, CheckKind::kSum}) {
    for (const size_t blockSize : {kShortBlock, kLongBlock}) {
      const uint8_t data[] = {0x18, 0x11, 0x13, 0xFF, 0x00};
      uint8_t frame[kMaxFrame];
      const size_t length = BuildFrame(7, data, sizeof data, blockSize, check, kPad, frame);
      const DecodedFrame good = DecodeFrame(frame, length, check);
      ASSERT_TRUE(good.valid);
      EXPECT_EQ(good.number, 7);
      EXPECT_EQ(good.size, blockSize);
      EXPECT_EQ(std::memcmp(good.data, data, sizeof data), 0);
      EXPECT_EQ(good.data[blockSize - 1], kPad);
      EXPECT_FALSE(DecodeFrame(frame, length - 1, check).valid);
      for (size_t at = 0; at < length; ++at) {
        frame[at] ^= 0x01;
        EXPECT_FALSE(DecodeFrame(frame, length, check).valid) << "byte " << at;
        frame[at] ^= 0x01;
      }
    }
  }
}

TEST(XyBlock, FileHeaderGivesNameAndSize) {
  const struct {
    std::string bytes;
    bool endOfBatch;
    std::string name;
    int64_t size;
  } cases[] = {
      {std::string("a b.txt\0"
                   "1025 14712533410 100644",
                   31),
       false, "a b.txt", 1025},
      {std::string("name\0", 5), false, "name", -1},
      {std::string("x\0"
                   "99999999999999999999",
                   22),
       false, "x", 999999999999999},
      {std::string(128, '\0'), true, "", -1},
  };
  for (const auto& c : cases) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(c.bytes.data());
    const FileHeader header = ParseFileHeader(bytes, c.bytes.size());
    EXPECT_EQ(header.endOfBatch, c.endOfBatch) << c.name;
    EXPECT_EQ(header.name, c.name);
    EXPECT_EQ(header.size, c.size) << c.name;
  }
  const std::vector<uint8_t> built = BuildFileHeader(std::string(200, 'n'), 1025, 0);
  EXPECT_EQ(built.size(), kLongBlock);
  EXPECT_EQ(ParseFileHeader(built.data(), built.size()).size, 1025);
}

}  // namespace
}  // namespace quillon::xyz
