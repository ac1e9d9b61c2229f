#pragma once
// Blocks of the acknowledged block protocol, as pure functions over bytes.
//
// A block: '-', two hex digits data length n (0..255), type ('1' first block, '+' further,
// '0' end), n data bytes, counter digit '0'..'9', two hex digits checksum, CR; n + 8 bytes.
// The checksum is the sum of the bytes from the length digits through the counter digit, mod
// 256. The end block is always "-0000FF" CR. Hex digits are sent upper case and accepted in
// either case.
#include <cstddef>
#include <cstdint>

namespace quillon::acknak {

inline constexpr uint8_t kAck = 0x06;
inline constexpr uint8_t kNak = 0x15;
inline constexpr uint8_t kEnq = 0x05;
inline constexpr uint8_t kCr = 0x0D;
inline constexpr uint8_t kStart = '-';
inline constexpr int kMaxData = 255;
inline constexpr int kFrameSize = 300;
inline constexpr char kTypeFirst = '1';
inline constexpr char kTypeNext = '+';
inline constexpr char kTypeEnd = '0';
inline constexpr char kEndBlock[] = "-0000FF\r";

// Value of one hex digit, or -1.
int HexDigit(uint8_t c);
// Value of two hex digits, or -1 when either is not a hex digit.
int ParseHex2(const uint8_t* digits);
uint8_t Checksum(const uint8_t* from, size_t length);

// Builds the block into `out` (kFrameSize bytes) and returns its length. Type '0' gives the
// fixed end block. At most kMaxData bytes of data.
size_t BuildBlock(char type, const uint8_t* data, size_t length, int counter, uint8_t* out);

// Checks a complete received frame of n + 8 bytes (n from its length digits): the result code
// ReceiveBlock gives it: end of transfer, no CR, wrong counter, wrong checksum, or a good
// block.
int CheckFrame(const uint8_t* frame, int n, int expectedCounter);

}  // namespace quillon::acknak
