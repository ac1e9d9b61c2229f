#pragma once
// The radio network's frames as the satellites see them.
//
// A request is STX, the address byte, ESC, the command text, ESC, ETX, two upper-case hex
// digits and CR; a reply is ACK, STX, the address byte, the data, ETX, two hex digits and CR.
// The checksum is the sum of the bytes from STX through ETX modulo 256. Follow-up lines of
// stored data are replies without the leading ACK; the PC asks for each with one raw ACK byte.
#include <cstdint>
#include <string>
#include <string_view>

#include "line.h"

namespace sim::quorbus {

inline constexpr char kStx = 0x02;
inline constexpr char kEtx = 0x03;
inline constexpr char kEsc = 0x1B;
// STX through ETX of a request or reply.
inline constexpr std::size_t kMaxFrame = 255;

// A reply frame with `data` for `address`; `badChecksum` spoils the checksum on purpose.
std::string ReplyFrame(std::uint8_t address, std::string_view data, bool withAck, bool badChecksum);

// The byte (128 and above) that a terminal sends for the two decimal digits of `value`
// (0..99): the receiver turns byte b into ((b-128) mod 10)*10 + (b-128) div 10.
char DigitsByte(int value);
// `line` with every byte of 128 and above written as its two digits.
std::string DecodeDigits(std::string_view line);

// What came from the PC.
struct Request {
  enum class Kind { kFrame, kRawAck, kBad };
  Kind kind = Kind::kBad;
  std::uint8_t address = 0;
  std::string text;   // the command text of a frame
  std::string fault;  // why a frame was rejected
};

// Reads requests off the line: bytes outside a frame other than ACK are skipped, a frame that
// stalls for kByteTimeoutMs is dropped as bad.
class RequestReader {
 public:
  explicit RequestReader(Line& line) : line_(line) {}
  // Waits without limit for the next request; anything but kOk ends the conversation.
  Io Next(Request& request);

 private:
  Io ReadFrame(Request& request);
  Line& line_;
};

}  // namespace sim::quorbus
