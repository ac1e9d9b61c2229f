// Fuzz target: the checker of received blocks, on any bytes that could fill the frame buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "protocols/ack_nak_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillon::acknak;
  if (size < 3) return 0;
  const int n = ParseHex2(data + 1);
  if (n < 0) return 0;
  // The receiver reads exactly n + 8 bytes into its frame buffer before checking.
  uint8_t frame[kFrameSize] = {};
  const size_t length = static_cast<size_t>(n) + 8;
  std::memcpy(frame, data, size < length ? size : length);
  const int counter = data[0] % 10;
  CheckFrame(frame, n, counter);
  uint8_t rebuilt[kFrameSize];
  BuildBlock(static_cast<char>(data[2]), data, size, counter, rebuilt);
  return 0;
}
