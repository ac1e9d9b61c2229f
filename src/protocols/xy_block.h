#pragma once
// The blocks of X- and Y-Modem as bytes: building a block to send, checking one that arrived,
// and the file header that Y-Modem carries in block 0. Pure functions over buffers, no I/O, so
// that everything a peer can send is checked in memory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::xyz {

inline constexpr uint8_t kSoh = 0x01;  // starts a 128-byte block
inline constexpr uint8_t kStx = 0x02;  // starts a 1024-byte block
inline constexpr uint8_t kEot = 0x04;
inline constexpr uint8_t kAck = 0x06;
inline constexpr uint8_t kBs = 0x08;
inline constexpr uint8_t kNak = 0x15;
inline constexpr uint8_t kCan = 0x18;
inline constexpr uint8_t kAskCrc = 'C';  // a receiver's request for blocks with CRC-16
inline constexpr uint8_t kPad = 0x1A;    // fills the last data block

inline constexpr size_t kShortBlock = 128;
inline constexpr size_t kLongBlock = 1024;
// Header byte, number, its complement, the data and up to two check bytes.
inline constexpr size_t kMaxFrame = 3 + kLongBlock + 2;

enum class CheckKind { kCrc16, kSum };

// The data size a header byte announces: 128 for SOH, 1024 for STX, 0 for any other byte.
size_t BlockSizeFor(uint8_t header);
// The length of a whole block on the line, header to check bytes.
size_t FrameLength(size_t blockSize, CheckKind check);

// Writes the block `number` with `count` bytes of `data` (at most `blockSize`, which is 128 or
// 1024), filled up with `pad`, into `frame` (kMaxFrame bytes). Returns the frame's length.
size_t BuildFrame(uint8_t number, const uint8_t* data, size_t count, size_t blockSize,
                  CheckKind check, uint8_t pad, uint8_t* frame);

struct DecodedFrame {
  bool valid = false;
  uint8_t number = 0;
  const uint8_t* data = nullptr;  // points into the frame
  size_t size = 0;
};
// Checks a block as it arrived, header byte first: a known header, the length, the number
// against its complement and the check bytes. Anything else is not valid.
DecodedFrame DecodeFrame(const uint8_t* frame, size_t length, CheckKind check);

// What Y-Modem's block 0 says: the file's name and size, or the end of the batch.
struct FileHeader {
  bool endOfBatch = false;  // an empty name: the sender has no more files
  std::string name;         // as sent, unchecked
  int64_t size = -1;        // -1 when the sender gave none
};
// Reads block 0's data: the name up to a NUL, then the size in decimal; what follows (time,
// mode) is not needed.
FileHeader ParseFileHeader(const uint8_t* data, size_t size);
// Block 0's data for a file: "name", NUL, the decimal size, a blank and the octal modification
// time, zeros after, 128 bytes long, or 1024 when the name needs it. A name longer than fits is
// cut.
std::vector<uint8_t> BuildFileHeader(std::string_view name, uint64_t size, int64_t mtime);

}  // namespace quillon::xyz
