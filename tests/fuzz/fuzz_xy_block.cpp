// Fuzz target: X- and Y-Modem blocks and the receiver's whole answer to a line, in memory.
// A block that passes the check must be rebuilt to the very same bytes; a file header that is
// read must survive being built and read again; and the block receiver, fed the input as the
// line's bytes (silence once it runs dry), must end without a crash or a hang.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "protocols/xmodem.h"
#include "protocols/xy_block.h"

namespace {

using namespace quillon::xyz;

void Check(bool ok) {
  if (!ok) std::abort();
}

// Hands out the input in pieces whose sizes the input's first byte decides; after the end
// every wait is silence. What the receiver sends goes nowhere.
class MemoryLine : public Line {
 public:
  MemoryLine(const uint8_t* data, size_t size, size_t piece)
      : data_(data), size_(size), piece_(piece) {}
  int Read(uint8_t* buffer, int max, int) override {
    const size_t n = std::min({size_ - pos_, static_cast<size_t>(max), piece_});
    std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return static_cast<int>(n);
  }
  bool Write(const uint8_t*, size_t) override { return true; }
  void DropInput() override {}

 private:
  const uint8_t* data_;
  size_t size_;
  size_t piece_;
  size_t pos_ = 0;
};

void CheckFrames(const uint8_t* data, size_t size) {
  for (const CheckKind check : {CheckKind::kCrc16, CheckKind::kSum}) {
    const DecodedFrame frame = DecodeFrame(data, size, check);
    if (!frame.valid) continue;
    uint8_t rebuilt[kMaxFrame];
    const size_t length =
        BuildFrame(frame.number, frame.data, frame.size, frame.size, check, 0, rebuilt);
    Check(length == size && std::memcmp(rebuilt, data, size) == 0);
  }
}

void CheckFileHeader(const uint8_t* data, size_t size) {
  const FileHeader header = ParseFileHeader(data, size);
  if (header.endOfBatch || header.name.size() > 900) return;
  const std::vector<uint8_t> built =
      BuildFileHeader(header.name, static_cast<uint64_t>(std::max<int64_t>(header.size, 0)), 0);
  const FileHeader again = ParseFileHeader(built.data(), built.size());
  Check(again.name == header.name && again.size == std::max<int64_t>(header.size, 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckFrames(data, size);
  CheckFileHeader(data, size);
  if (size == 0) return 0;
  static const int sink = open("/dev/null", O_WRONLY | O_CLOEXEC);
  const Progress goOn = [](int32_t, int32_t, const uint8_t*, int32_t) { return 0; };
  const XyTimings timings{0, 0, 2, 0};
  MemoryLine line(data + 1, size - 1, data[0] % 64 + 1);
  BlockReceiver receiver(line, goOn, timings);
  FileHeader header;
  if (data[0] & 0x80) {
    if (receiver.ReceiveHeader(header) == kDone && !header.endOfBatch) {
      if (receiver.ReceiveData(sink, header.size,
                               "\x06"
                               "C") == kDone)
        (void)receiver.ReceiveEndOfBatch();
    }
  } else {
    (void)receiver.ReceiveData(sink, -1, "C");
  }
  return 0;
}
