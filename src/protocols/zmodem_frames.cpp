#include "protocols/zmodem_frames.h"

#include <array>

#include "protocols/xyz_common.h"

namespace quillon::xyz::zmodem {
namespace {

constexpr uint8_t kXon = 0x11;
constexpr uint8_t kXoff = 0x13;
constexpr char kHexDigits[] = "0123456789abcdef";

// Bytes that never go bare on the line: ZDLE, DLE, XON, XOFF and their 0x80 variants.
constexpr std::array<bool, 256> MakeEscapeTable() {
  std::array<bool, 256> table{};
  for (const uint8_t c : {0x10, 0x11, 0x13, 0x18}) {
    table[c] = true;
    table[c | 0x80] = true;
  }
  return table;
}
constexpr auto kMustEscape = MakeEscapeTable();

bool IsFlowControl(uint8_t c) { return (c & 0x7F) == kXon || (c & 0x7F) == kXoff; }

// What NextByte found besides a data byte (0..255).
constexpr int kMore = -1;
constexpr int kBadEscape = -2;
constexpr int kCancel = -3;
constexpr int kFrameEnd = 0x100;  // or'ed with the end byte

// The next unescaped byte at data[i], advancing i past it. Bare XON/XOFF are skipped. A frame
// end (ZDLE and ZCRCE..ZCRCW) is only one where `allowEnd` says so; elsewhere it is damage.
int NextByte(const uint8_t* data, size_t size, size_t& i, bool allowEnd) {
  for (;;) {
    if (i >= size) return kMore;
    const uint8_t c = data[i];
    if (c != kZdle) {
      ++i;
      if (IsFlowControl(c)) continue;
      return c;
    }
    size_t run = 1;
    while (i + run < size && data[i + run] == kCan && run < 5) ++run;
    if (run >= 5) {
      i += run;
      return kCancel;
    }
    if (i + run >= size) return kMore;  // the CAN run may go on
    if (run > 1) {
      i += run;
      return kBadEscape;
    }
    const uint8_t e = data[i + 1];
    i += 2;
    if (e >= kZcrce && e <= kZcrcw) return allowEnd ? (kFrameEnd | e) : kBadEscape;
    if (e == kZrub0) return 0x7F;
    if (e == kZrub1) return 0xFF;
    return e ^ 0x40;
  }
}

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendHex(std::vector<uint8_t>& out, uint8_t byte) {
  out.push_back(static_cast<uint8_t>(kHexDigits[byte >> 4]));
  out.push_back(static_cast<uint8_t>(kHexDigits[byte & 0x0F]));
}

struct BodyScan {
  Decoded result;
  size_t end;  // index after the body
};

// The type, four bytes and the CRC-16 as hex digits, then an optional CR LF.
BodyScan DecodeHexBody(const uint8_t* data, size_t size, size_t i, Header& header) {
  constexpr size_t kDigits = 14;
  if (size - i < kDigits) return {Decoded::kNeedMore, i};
  uint8_t raw[7];
  for (size_t k = 0; k < 7; ++k) {
    const int hi = HexValue(data[i + 2 * k]);
    const int lo = HexValue(data[i + 2 * k + 1]);
    if (hi < 0 || lo < 0) return {Decoded::kBad, i};
    raw[k] = static_cast<uint8_t>(hi << 4 | lo);
  }
  i += kDigits;
  const uint16_t crc = static_cast<uint16_t>(raw[5] << 8 | raw[6]);
  if (Crc16(raw, 5) != crc) return {Decoded::kBad, i};
  if (i < size && (data[i] & 0x7F) == '\r') ++i;
  if (i < size && (data[i] & 0x7F) == '\n') ++i;
  header.type = raw[0];
  for (int k = 0; k < 4; ++k) header.bytes[k] = raw[1 + k];
  header.format = HeaderFormat::kHex;
  return {Decoded::kComplete, i};
}

BodyScan DecodeBinaryBody(const uint8_t* data, size_t size, size_t i, bool crc32, Header& header) {
  const size_t count = crc32 ? 9 : 7;
  uint8_t raw[9];
  for (size_t k = 0; k < count; ++k) {
    const int v = NextByte(data, size, i, false);
    if (v == kMore) return {Decoded::kNeedMore, i};
    if (v < 0) return {Decoded::kBad, i};
    raw[k] = static_cast<uint8_t>(v);
  }
  if (crc32) {
    const uint32_t crc = Crc32Final(raw, 5);
    const uint32_t sent = raw[5] | raw[6] << 8 | raw[7] << 16 | static_cast<uint32_t>(raw[8]) << 24;
    if (crc != sent) return {Decoded::kBad, i};
  } else if (Crc16(raw, 5) != static_cast<uint16_t>(raw[5] << 8 | raw[6])) {
    return {Decoded::kBad, i};
  }
  header.type = raw[0];
  for (int k = 0; k < 4; ++k) header.bytes[k] = raw[1 + k];
  header.format = crc32 ? HeaderFormat::kBin32 : HeaderFormat::kBin16;
  return {Decoded::kComplete, i};
}

}  // namespace

uint32_t Header::Position() const {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

Header Header::AtPosition(uint8_t type, uint32_t position) {
  Header h;
  h.type = type;
  for (int k = 0; k < 4; ++k) h.bytes[k] = static_cast<uint8_t>(position >> (8 * k));
  return h;
}

Header Header::WithFlags(uint8_t type, uint8_t f0, uint8_t f1) {
  Header h;
  h.type = type;
  h.bytes[3] = f0;
  h.bytes[2] = f1;
  return h;
}

void AppendEscaped(std::vector<uint8_t>& out, const uint8_t* data, size_t count) {
  const size_t base = out.size();
  uint8_t previous = base == 0 ? '@' : out.back();
  out.resize(base + 2 * count);  // room for every byte escaped
  uint8_t* next = out.data() + base;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t c = data[i];
    if (kMustEscape[c] || ((c & 0x7F) == '\r' && (previous & 0x7F) == '@')) {
      *next++ = kZdle;
      previous = c ^ 0x40;
    } else {
      previous = c;
    }
    *next++ = previous;
  }
  out.resize(static_cast<size_t>(next - out.data()));
}

void AppendHeader(std::vector<uint8_t>& out, const Header& header) {
  uint8_t raw[9] = {header.type, header.bytes[0], header.bytes[1], header.bytes[2],
                    header.bytes[3]};
  if (header.format == HeaderFormat::kHex) {
    const uint16_t crc = Crc16(raw, 5);
    raw[5] = static_cast<uint8_t>(crc >> 8);
    raw[6] = static_cast<uint8_t>(crc);
    out.insert(out.end(), {kZpad, kZpad, kZdle, kZhex});
    for (int k = 0; k < 7; ++k) AppendHex(out, raw[k]);
    out.push_back('\r');
    out.push_back('\n' | 0x80);
    if (header.type != kZack && header.type != kZfin) out.push_back(kXon);
    return;
  }
  const bool crc32 = header.format == HeaderFormat::kBin32;
  out.insert(out.end(), {kZpad, kZdle, crc32 ? kZbin32 : kZbin});
  if (crc32) {
    const uint32_t crc = Crc32Final(raw, 5);
    for (int k = 0; k < 4; ++k) raw[5 + k] = static_cast<uint8_t>(crc >> (8 * k));
  } else {
    const uint16_t crc = Crc16(raw, 5);
    raw[5] = static_cast<uint8_t>(crc >> 8);
    raw[6] = static_cast<uint8_t>(crc);
  }
  AppendEscaped(out, raw, crc32 ? 9 : 7);
}

void AppendSubpacket(std::vector<uint8_t>& out, const uint8_t* data, size_t count, uint8_t end,
                     bool crc32) {
  AppendEscaped(out, data, count);
  out.push_back(kZdle);
  out.push_back(end);
  uint8_t crc[4];
  if (crc32) {
    const uint32_t value = ~Crc32Update(&end, 1, Crc32Update(data, count, 0xFFFFFFFFu));
    for (int k = 0; k < 4; ++k) crc[k] = static_cast<uint8_t>(value >> (8 * k));
  } else {
    const uint16_t value = Crc16(&end, 1, Crc16(data, count));
    crc[0] = static_cast<uint8_t>(value >> 8);
    crc[1] = static_cast<uint8_t>(value);
  }
  AppendEscaped(out, crc, crc32 ? 4 : 2);
}

HeaderScan ScanHeader(const uint8_t* data, size_t size) {
  size_t canRun = 0;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == kCan) {
      if (++canRun >= 5) return {Decoded::kCancelled, i + 1, {}};
    } else {
      canRun = 0;
    }
    if (data[i] != kZpad) continue;
    size_t j = i;
    while (j < size && data[j] == kZpad) ++j;
    const size_t lastPad = j - 1;  // a header may start at the last of a run of pads
    if (j + 1 >= size) return {Decoded::kNeedMore, lastPad, {}};
    if (data[j] != kZdle) {
      i = lastPad;
      continue;
    }
    const uint8_t format = data[j + 1];
    if (format != kZbin && format != kZhex && format != kZbin32) {
      i = lastPad;
      continue;
    }
    HeaderScan scan;
    const BodyScan body = format == kZhex
                              ? DecodeHexBody(data, size, j + 2, scan.header)
                              : DecodeBinaryBody(data, size, j + 2, format == kZbin32, scan.header);
    if (body.result == Decoded::kNeedMore) return {Decoded::kNeedMore, lastPad, {}};
    if (body.result == Decoded::kBad) return {Decoded::kBad, j + 2, {}};
    scan.result = Decoded::kComplete;
    scan.consumed = body.end;
    return scan;
  }
  // No header: keep a trailing run of CAN, it may grow into a cancel.
  return {Decoded::kNeedMore, size - canRun, {}};
}

SubpacketScan DecodeSubpacket(const uint8_t* data, size_t size, bool crc32,
                              std::vector<uint8_t>& out) {
  out.resize(kMaxSubpacket);
  size_t length = 0;
  size_t i = 0;
  const auto result = [&](Decoded decoded, size_t consumed, uint8_t end = 0) {
    out.resize(length);
    return SubpacketScan{decoded, consumed, end};
  };
  for (;;) {
    // Plain bytes go straight through; only ZDLE and flow control need a closer look.
    while (i < size && data[i] != kZdle && !IsFlowControl(data[i])) {
      if (length == kMaxSubpacket) return result(Decoded::kBad, i);
      out[length++] = data[i++];
    }
    const int v = NextByte(data, size, i, true);
    if (v == kMore) return result(Decoded::kNeedMore, 0);
    if (v == kCancel) return result(Decoded::kCancelled, i);
    if (v == kBadEscape) return result(Decoded::kBad, i);
    if (v < kFrameEnd) {
      if (length == kMaxSubpacket) return result(Decoded::kBad, i);
      out[length++] = static_cast<uint8_t>(v);
      continue;
    }
    const uint8_t end = static_cast<uint8_t>(v);
    uint8_t crc[4];
    const size_t crcLength = crc32 ? 4 : 2;
    for (size_t k = 0; k < crcLength; ++k) {
      const int c = NextByte(data, size, i, false);
      if (c == kMore) return result(Decoded::kNeedMore, 0);
      if (c == kCancel) return result(Decoded::kCancelled, i);
      if (c < 0) return result(Decoded::kBad, i);
      crc[k] = static_cast<uint8_t>(c);
    }
    bool good;
    if (crc32) {
      const uint32_t value = ~Crc32Update(&end, 1, Crc32Update(out.data(), length, 0xFFFFFFFFu));
      good = value == (crc[0] | crc[1] << 8 | crc[2] << 16 | static_cast<uint32_t>(crc[3]) << 24);
    } else {
      good = Crc16(&end, 1, Crc16(out.data(), length)) == (crc[0] << 8 | crc[1]);
    }
    return result(good ? Decoded::kComplete : Decoded::kBad, i, end);
  }
}

}  // namespace quillon::xyz::zmodem
