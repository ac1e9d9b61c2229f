#pragma once
// Framing of the acknowledged block protocol, as pure functions over bytes.
//
// A block is '-', the data length n as two hex digits, a type character ('1' first block of a
// transfer, '+' further block, '0' end), n data bytes, the block counter digit '0'..'9', two hex
// checksum digits and CR. The checksum is the sum of the byte values from the length digits up
// to and including the counter digit, modulo 256. The end of a transfer is the fixed block
// "-0000FF" CR. The other side answers each block with one control character.
#include <cstdint>
#include <string>
#include <string_view>

namespace sim {

inline constexpr char kAck = 0x06;
inline constexpr char kNak = 0x15;
inline constexpr char kEnq = 0x05;
inline constexpr char kCr = 0x0D;
inline constexpr char kTypeFirst = '1';
inline constexpr char kTypeNext = '+';
inline constexpr char kTypeEnd = '0';
inline constexpr std::string_view kEndBlock = "-0000FF\r";
inline constexpr std::size_t kMaxData = 255;

// Sum of the byte values of `bytes`, modulo 256.
std::uint8_t Checksum(std::string_view bytes);
// Two upper-case hex digits.
std::string Hex2(unsigned value);
// Value of one hex digit of either case, or -1.
int HexValue(std::uint8_t c);
// The counter after `counter`: 0..9, then 0 again.
inline int NextCounter(int counter) { return (counter + 1) % 10; }

// A complete block of type '1' or '+' carrying `data` (at most kMaxData bytes) with `counter`.
std::string BuildBlock(char type, std::string_view data, int counter);

// A block taken from the line, checked.
struct ParsedBlock {
  enum class Kind { kData, kEnd, kBad };
  Kind kind = Kind::kBad;
  char type = 0;
  std::string data;
  int counter = -1;
  const char* fault = "";  // why a bad block was rejected, for the trace
};

// Checks a whole frame as read from the line: '-', length, type, data, counter, checksum, CR,
// exactly n + 8 bytes. Hex digits of either case are accepted.
ParsedBlock ParseBlock(std::string_view frame);

}  // namespace sim
