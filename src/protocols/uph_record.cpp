#include "protocols/uph_record.h"

#include "common/paths.h"
#include "protocols/ack_nak_frame.h"

namespace quillon {
namespace {

constexpr size_t kNameLength = 8;

// The byte of the two hex digits at `pos`, or -1.
int HexByte(const std::string& text, size_t pos) {
  return acknak::ParseHex2(reinterpret_cast<const uint8_t*>(text.data() + pos));
}

}  // namespace

std::string UphProgramName(const std::string& fileName) {
  std::string name = FileNamePart(fileName);
  name = name.substr(0, name.find('.'));
  if (name.size() > kNameLength) name.resize(kNameLength);
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  name.resize(kNameLength, ' ');
  return name;
}

bool UphBinaryRecord(const std::string& line, std::vector<uint8_t>& record) {
  record.clear();
  // Colon, length, address, type, then the data and the checksum.
  if (line.size() < 11 || line[0] != ':') return false;
  const int length = HexByte(line, 1);
  const int high = HexByte(line, 3);
  const int low = HexByte(line, 5);
  if (length < 0 || high < 0 || low < 0 || HexByte(line, 7) < 0) return false;
  if (line.size() < 11 + 2 * static_cast<size_t>(length)) return false;
  record.push_back(static_cast<uint8_t>(high));
  record.push_back(static_cast<uint8_t>(low));
  for (int i = 0; i < length; ++i) {
    const int value = HexByte(line, 9 + 2 * static_cast<size_t>(i));
    if (value < 0) {
      record.clear();
      return false;
    }
    record.push_back(static_cast<uint8_t>(value));
  }
  return true;
}

}  // namespace quillon
