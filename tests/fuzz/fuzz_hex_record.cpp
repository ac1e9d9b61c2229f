// Fuzz target: the receiver's Intel-HEX records (sending a program file) and the program name a
// terminal gets, in memory. An accepted record holds the address bytes and exactly as many data
// bytes as its length says, each the value of its two hex digits; a refused one leaves nothing.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "protocols/uph_record.h"

namespace {

using fuzz::Check;

int Digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int ByteAt(const std::string& line, size_t at) {
  if (at + 1 >= line.size()) return -1;
  const int high = Digit(line[at]), low = Digit(line[at + 1]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(fuzz::Text(data, size));
  std::vector<uint8_t> record = {1, 2, 3};
  if (!quillon::UphBinaryRecord(line, record)) {
    Check(record.empty());
  } else {
    Check(line[0] == ':');
    const int length = ByteAt(line, 1);
    Check(length >= 0 && ByteAt(line, 7) >= 0);
    Check(record.size() == 2 + static_cast<size_t>(length));
    Check(line.size() >= 11 + 2 * static_cast<size_t>(length));
    Check(record[0] == ByteAt(line, 3) && record[1] == ByteAt(line, 5));
    for (int i = 0; i < length; ++i) {
      Check(record[2 + static_cast<size_t>(i)] == ByteAt(line, 9 + 2 * static_cast<size_t>(i)));
    }
  }
  const std::string name = quillon::UphProgramName(line);
  Check(name.size() == 8 && name.find('.') == std::string::npos);
  for (const char c : name) Check(c < 'a' || c > 'z');
  return 0;
}
