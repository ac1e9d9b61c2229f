#pragma once
// Z-Modem framing as pure functions over byte buffers: headers (hex, binary with CRC-16 and
// binary with CRC-32), the escaping of bytes that a line could swallow, and data subpackets.
// Nothing here touches a line, so every decoder can be fed any bytes in memory.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillon::xyz::zmodem {

inline constexpr uint8_t kZpad = '*';
inline constexpr uint8_t kZdle = 0x18;  // the escape byte; it is CAN as well
inline constexpr uint8_t kCan = 0x18;
inline constexpr uint8_t kZbin = 'A';
inline constexpr uint8_t kZhex = 'B';
inline constexpr uint8_t kZbin32 = 'C';

// Frame types.
inline constexpr uint8_t kZrqinit = 0;
inline constexpr uint8_t kZrinit = 1;
inline constexpr uint8_t kZsinit = 2;
inline constexpr uint8_t kZack = 3;
inline constexpr uint8_t kZfile = 4;
inline constexpr uint8_t kZskip = 5;
inline constexpr uint8_t kZnak = 6;
inline constexpr uint8_t kZabort = 7;
inline constexpr uint8_t kZfin = 8;
inline constexpr uint8_t kZrpos = 9;
inline constexpr uint8_t kZdata = 10;
inline constexpr uint8_t kZeof = 11;
inline constexpr uint8_t kZferr = 12;
inline constexpr uint8_t kZcrc = 13;
inline constexpr uint8_t kZchallenge = 14;
inline constexpr uint8_t kZcompl = 15;
inline constexpr uint8_t kZcan = 16;
inline constexpr uint8_t kZfreecnt = 17;
inline constexpr uint8_t kZcommand = 18;

// How a data subpacket ends (the byte after ZDLE).
inline constexpr uint8_t kZcrce = 'h';  // frame ends, a header follows
inline constexpr uint8_t kZcrcg = 'i';  // frame goes on, no answer
inline constexpr uint8_t kZcrcq = 'j';  // frame goes on, ZACK wanted
inline constexpr uint8_t kZcrcw = 'k';  // frame ends, ZACK wanted
inline constexpr uint8_t kZrub0 = 'l';  // escaped 0x7F
inline constexpr uint8_t kZrub1 = 'm';  // escaped 0xFF

// ZRINIT capability flags (in ZF0).
inline constexpr uint8_t kCanFdx = 0x01;
inline constexpr uint8_t kCanOvio = 0x02;
inline constexpr uint8_t kCanFc32 = 0x20;

// ZFILE conversion option (in ZF0): binary, no conversion.
inline constexpr uint8_t kZcbin = 1;

// The most data bytes one received subpacket may carry.
inline constexpr size_t kMaxSubpacket = 8192;

enum class HeaderFormat : uint8_t { kHex, kBin16, kBin32 };

struct Header {
  uint8_t type = 0;
  // ZP0..ZP3 (a position, lowest byte first) or ZF3..ZF0 (flags: ZF0 is bytes[3]).
  uint8_t bytes[4] = {};
  HeaderFormat format = HeaderFormat::kHex;

  uint32_t Position() const;
  uint8_t Flag0() const { return bytes[3]; }
  static Header AtPosition(uint8_t type, uint32_t position);
  static Header WithFlags(uint8_t type, uint8_t f0, uint8_t f1 = 0);
};

// Appends `count` bytes escaped for the line. `out`'s last byte counts as the byte before
// (a CR after '@' is escaped; at the start of an empty buffer a CR is always escaped).
void AppendEscaped(std::vector<uint8_t>& out, const uint8_t* data, size_t count);

// Appends a whole header: hex ("**" ZDLE 'B', hex digits, CR LF, XON except after ZACK and
// ZFIN) or binary (CRC-16 or CRC-32 as its format says).
void AppendHeader(std::vector<uint8_t>& out, const Header& header);

// Appends a data subpacket: the escaped data, ZDLE and `end`, the escaped CRC of both.
void AppendSubpacket(std::vector<uint8_t>& out, const uint8_t* data, size_t count, uint8_t end,
                     bool crc32);

enum class Decoded : uint8_t {
  kComplete,   // a header or subpacket is complete and its CRC right
  kNeedMore,   // the buffer ends before the end
  kBad,        // damaged: wrong CRC, a bad escape, too long
  kCancelled,  // the peer sent five CAN in a row
};

struct HeaderScan {
  Decoded result = Decoded::kNeedMore;
  // Bytes the caller may drop: garbage before a header, the header itself, or the damaged
  // start of one. With kNeedMore the rest must be kept and more bytes appended.
  size_t consumed = 0;
  Header header;
};

// Looks for the next header in `data`, skipping everything before it.
HeaderScan ScanHeader(const uint8_t* data, size_t size);

struct SubpacketScan {
  Decoded result = Decoded::kNeedMore;
  size_t consumed = 0;  // with kComplete or kBad: the bytes used up
  uint8_t end = 0;      // ZCRCE, ZCRCG, ZCRCQ or ZCRCW
};

// Decodes the data subpacket at the start of `data` into `out` (cleared first; never more than
// kMaxSubpacket bytes). Bare XON/XOFF are line noise and skipped.
SubpacketScan DecodeSubpacket(const uint8_t* data, size_t size, bool crc32,
                              std::vector<uint8_t>& out);

}  // namespace quillon::xyz::zmodem
