#include "protocols/ack_nak_frame.h"

#include <cstring>

#include "serial/result_codes.h"

namespace quillon::acknak {

int HexDigit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int ParseHex2(const uint8_t* digits) {
  const int high = HexDigit(digits[0]);
  const int low = HexDigit(digits[1]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

uint8_t Checksum(const uint8_t* from, size_t length) {
  // Every received block is summed once before it is answered, so eight bytes are added at a
  // time: the even and the odd bytes of a word go into four 16-bit lanes, which are folded
  // before 128 words could overflow them.
  constexpr uint64_t kEven = 0x00FF00FF00FF00FFull;
  unsigned sum = 0;
  size_t i = 0;
  while (length - i >= 8) {
    uint64_t lanes = 0;
    for (int words = 0; words < 128 && length - i >= 8; ++words, i += 8) {
      uint64_t word;
      std::memcpy(&word, from + i, 8);
      lanes += (word & kEven) + ((word >> 8) & kEven);
    }
    sum += static_cast<unsigned>((lanes & 0xFFFF) + ((lanes >> 16) & 0xFFFF) +
                                 ((lanes >> 32) & 0xFFFF) + (lanes >> 48));
  }
  for (; i < length; ++i) sum += from[i];
  return static_cast<uint8_t>(sum & 0xFF);
}

size_t BuildBlock(char type, const uint8_t* data, size_t length, int counter, uint8_t* out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  if (type == kTypeEnd) {
    std::memcpy(out, kEndBlock, 8);
    return 8;
  }
  if (length > static_cast<size_t>(kMaxData)) length = kMaxData;
  size_t i = 0;
  out[i++] = kStart;
  out[i++] = static_cast<uint8_t>(kHex[length >> 4]);
  out[i++] = static_cast<uint8_t>(kHex[length & 0xF]);
  out[i++] = static_cast<uint8_t>(type);
  if (length > 0) std::memcpy(out + i, data, length);
  i += length;
  out[i++] = static_cast<uint8_t>('0' + counter % 10);
  const uint8_t sum = Checksum(out + 1, i - 1);
  out[i++] = static_cast<uint8_t>(kHex[sum >> 4]);
  out[i++] = static_cast<uint8_t>(kHex[sum & 0xF]);
  out[i++] = kCr;
  return i;
}

int CheckFrame(const uint8_t* frame, int n, int expectedCounter) {
  if (frame[n + 7] != kCr) return rc::kNoCr;
  if (std::memcmp(frame, kEndBlock, 7) == 0) return rc::kEndOfTransfer;
  if (frame[n + 4] - '0' != expectedCounter) return rc::kBadCounter;
  const int sent = ParseHex2(frame + n + 5);
  if (sent < 0 || sent != Checksum(frame + 1, static_cast<size_t>(n) + 4)) return rc::kBadChecksum;
  return rc::kBlockReceived;
}

}  // namespace quillon::acknak
