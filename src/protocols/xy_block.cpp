#include "protocols/xy_block.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "protocols/xyz_common.h"

namespace quillon::xyz {
namespace {

uint8_t Sum(const uint8_t* data, size_t count) {
  unsigned sum = 0;
  for (size_t i = 0; i < count; ++i) sum += data[i];
  return static_cast<uint8_t>(sum);
}

size_t CheckLength(CheckKind check) { return check == CheckKind::kCrc16 ? 2 : 1; }

}  // namespace

size_t BlockSizeFor(uint8_t header) {
  if (header == kSoh) return kShortBlock;
  if (header == kStx) return kLongBlock;
  return 0;
}

size_t FrameLength(size_t blockSize, CheckKind check) { return 3 + blockSize + CheckLength(check); }

size_t BuildFrame(uint8_t number, const uint8_t* data, size_t count, size_t blockSize,
                  CheckKind check, uint8_t pad, uint8_t* frame) {
  blockSize = blockSize > kShortBlock ? kLongBlock : kShortBlock;
  count = std::min(count, blockSize);
  frame[0] = blockSize == kLongBlock ? kStx : kSoh;
  frame[1] = number;
  frame[2] = static_cast<uint8_t>(~number);
  uint8_t* body = frame + 3;
  if (count > 0) std::memcpy(body, data, count);
  std::memset(body + count, pad, blockSize - count);
  if (check == CheckKind::kCrc16) {
    const uint16_t crc = Crc16(body, blockSize);
    body[blockSize] = static_cast<uint8_t>(crc >> 8);
    body[blockSize + 1] = static_cast<uint8_t>(crc);
  } else {
    body[blockSize] = Sum(body, blockSize);
  }
  return FrameLength(blockSize, check);
}

DecodedFrame DecodeFrame(const uint8_t* frame, size_t length, CheckKind check) {
  DecodedFrame out;
  if (length < 1) return out;
  const size_t blockSize = BlockSizeFor(frame[0]);
  if (blockSize == 0 || length != FrameLength(blockSize, check)) return out;
  if (static_cast<uint8_t>(frame[1] ^ frame[2]) != 0xFF) return out;
  const uint8_t* body = frame + 3;
  if (check == CheckKind::kCrc16) {
    const uint16_t got = static_cast<uint16_t>(body[blockSize] << 8 | body[blockSize + 1]);
    if (Crc16(body, blockSize) != got) return out;
  } else if (Sum(body, blockSize) != body[blockSize]) {
    return out;
  }
  out.valid = true;
  out.number = frame[1];
  out.data = body;
  out.size = blockSize;
  return out;
}

FileHeader ParseFileHeader(const uint8_t* data, size_t size) {
  FileHeader out;
  const uint8_t* end = data + size;
  const uint8_t* nul = std::find(data, end, uint8_t{0});
  out.name.assign(reinterpret_cast<const char*>(data), static_cast<size_t>(nul - data));
  out.endOfBatch = out.name.empty();
  if (nul == end) return out;
  // At most 15 digits: far beyond any real file, far below an overflow.
  int64_t value = 0;
  int digits = 0;
  for (const uint8_t* p = nul + 1; p < end && *p >= '0' && *p <= '9' && digits < 15;
       ++p, ++digits) {
    value = value * 10 + (*p - '0');
  }
  if (digits > 0) out.size = value;
  return out;
}

std::vector<uint8_t> BuildFileHeader(std::string_view name, uint64_t size, int64_t mtime) {
  char octal[24];
  std::snprintf(octal, sizeof octal, "%llo",
                static_cast<unsigned long long>(std::max<int64_t>(mtime, 0)));
  const std::string numbers = std::to_string(size) + " " + octal;
  const size_t needed = name.size() + 1 + numbers.size() + 1;
  std::vector<uint8_t> block(needed <= kShortBlock ? kShortBlock : kLongBlock, 0);
  name = name.substr(0, std::min(name.size(), block.size() - 2 - numbers.size()));
  std::memcpy(block.data(), name.data(), name.size());
  std::memcpy(block.data() + name.size() + 1, numbers.data(), numbers.size());
  return block;
}

}  // namespace quillon::xyz
