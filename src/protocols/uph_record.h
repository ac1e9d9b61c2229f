#pragma once
// The pure parts of sending a program file: the name a terminal gets for it and the binary
// form of one Intel-HEX record. Free of any line, so they are checked in memory alone.
#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

// The name a terminal gets for a program file: the file name without directory, cut at its first
// '.', at most 8 characters, upper case, padded with blanks to 8 characters.
std::string UphProgramName(const std::string& fileName);

// The binary form of an Intel-HEX record ":LLAAAATT<data>CC": address high and low byte, then
// the LL data bytes; record type and checksum are not used. False, with `record` empty, for a
// line that does not hold a whole record.
bool UphBinaryRecord(const std::string& line, std::vector<uint8_t>& record);

}  // namespace quillon
