// Fuzz target: the radio network's replies and the conversion of stored-data bytes, in memory.
// The input's first byte is the address the reply is checked against, the rest the bytes read
// from the line. A reply that passes must be exactly the frame its data would be built into; a
// frame built around any data without ETX must pass with that data; and every stored byte turns
// into one character or two digits.
#include <algorithm>
#include <string>

#include "fuzz_support.h"
#include "radio/quorbus_frames.h"

namespace {

using namespace quillon::quorbus;
using fuzz::Check;

std::string ReplyFrame(uint8_t address, const std::string& data) {
  std::string framed = std::string(1, kStx) + static_cast<char>(address) + data + kEtx;
  return kAck + framed + ChecksumText(framed) + kCr;
}

void CheckOneReply(uint8_t address, const std::string& reply) {
  std::string data = "left over";
  const int result = CheckReply(reply, address, data);
  Check(result == kOk || result == kInvalidReply);
  if (result != kOk) {
    Check(data.empty());
  } else {
    Check(data.find(kEtx) == std::string::npos);
    const std::string frame = ReplyFrame(address, data);
    // What follows the checksum (the CR, and whatever came after it) is not looked at.
    Check(reply.compare(0, frame.size() - 1, frame, 0, frame.size() - 1) == 0);
  }
  if (!reply.empty() && reply.find(kEtx) == std::string::npos) {
    std::string again;
    Check(CheckReply(ReplyFrame(address, reply), address, again) == kOk && again == reply);
  }
}

void CheckStoredLine(const std::string& line) {
  const std::string text = ConvertStoredLine(line);
  const size_t high = static_cast<size_t>(std::count_if(
      line.begin(), line.end(), [](char c) { return static_cast<uint8_t>(c) >= 128; }));
  Check(text.size() == line.size() + high);
  size_t at = 0;
  for (const char c : line) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 128) {
      Check(text[at++] == c);
      continue;
    }
    const int ones = text[at] - '0';
    const int tens = text[at + 1] - '0';
    Check(ones >= 0 && ones <= 9 && tens >= 0 && tens <= 9);
    Check((tens * 10 + ones) % 100 == (b - 128) % 100);
    at += 2;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string rest(fuzz::Text(data + 1, size - 1));
  CheckOneReply(data[0], rest);
  CheckStoredLine(rest);
  const std::string request = BuildRequest(data[0], rest);
  Check(request.size() <= kMaxFramedPart + 3 && request.back() == kCr);
  Check(request.substr(request.size() - 3, 2) ==
        ChecksumText(request.substr(0, request.size() - 3)));
  return 0;
}
