// Fuzz target: the Z-Modem header scanner and subpacket decoder on any bytes, and a decoded
// subpacket encoded again must decode to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "protocols/zmodem_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillon::xyz::zmodem;
  size_t offset = 0;
  while (offset < size) {
    const HeaderScan scan = ScanHeader(data + offset, size - offset);
    if (scan.consumed > size - offset) std::abort();
    if (scan.consumed == 0) break;
    offset += scan.consumed;
  }
  std::vector<uint8_t> out;
  for (const bool crc32 : {false, true}) {
    const SubpacketScan scan = DecodeSubpacket(data, size, crc32, out);
    if (scan.consumed > size || out.size() > kMaxSubpacket) std::abort();
    if (scan.result != Decoded::kComplete) continue;
    std::vector<uint8_t> encoded;
    AppendSubpacket(encoded, out.data(), out.size(), scan.end, crc32);
    std::vector<uint8_t> again;
    const SubpacketScan second = DecodeSubpacket(encoded.data(), encoded.size(), crc32, again);
    if (second.result != Decoded::kComplete || again != out || second.consumed != encoded.size()) {
      std::abort();
    }
  }
  return 0;
}
