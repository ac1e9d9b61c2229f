// Fuzz target: what the X-, Y- and Z-Modem receivers take from the sender besides the data, in
// memory: every Z-Modem header found in the input, written again in its own format, must be
// found again as the same header and nothing else; and the file name a sender gives (in Y-Modem's
// block 0 or a Z-Modem file offer: a name up to NUL) is reduced to a plain last component that
// can never leave the directory it is shown for.
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "protocols/xy_block.h"
#include "protocols/xyz_common.h"
#include "protocols/zmodem_frames.h"

namespace {

using namespace quillon::xyz;
using fuzz::Check;

void CheckHeaders(const uint8_t* data, size_t size) {
  size_t offset = 0;
  while (offset < size) {
    const zmodem::HeaderScan scan = zmodem::ScanHeader(data + offset, size - offset);
    if (scan.consumed == 0) break;
    offset += scan.consumed;
    if (scan.result != zmodem::Decoded::kComplete) continue;
    std::vector<uint8_t> written;
    zmodem::AppendHeader(written, scan.header);
    const zmodem::HeaderScan again = zmodem::ScanHeader(written.data(), written.size());
    Check(again.result == zmodem::Decoded::kComplete && again.consumed <= written.size());
    Check(again.header.type == scan.header.type && again.header.format == scan.header.format);
    Check(std::memcmp(again.header.bytes, scan.header.bytes, 4) == 0);
    // What is left after the header is line padding (CR LF, XON), never a second header.
    const zmodem::HeaderScan rest =
        zmodem::ScanHeader(written.data() + again.consumed, written.size() - again.consumed);
    Check(rest.result != zmodem::Decoded::kComplete);
  }
}

void CheckSenderName(std::string_view given) {
  const std::string name = SenderFileName(given);
  if (name.empty()) return;
  Check(name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos);
  for (const char c : name) Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
  Check(given.size() >= name.size() && given.substr(given.size() - name.size()) == name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckHeaders(data, size);
  const std::string_view text = fuzz::Text(data, size);
  CheckSenderName(text.substr(0, text.find('\0')));
  const FileHeader header = ParseFileHeader(data, size);
  if (!header.endOfBatch) CheckSenderName(header.name);
  return 0;
}
