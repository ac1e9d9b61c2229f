#pragma once
// TOrvUph: sends an Intel-HEX file to a terminal as binary records inside acknowledged blocks:
// a first block with the 8-character program name, one block per record (address high byte,
// address low byte, data bytes), the end block. The end-of-file record ends the send and is not
// sent itself.
//
// Thread safety: as TOrvComm (one owning thread; others may set the abort request).
#include <cstdint>
#include <string>
#include <vector>

#include "protocols/ack_nak.h"

namespace quillon {

class TOrvUph : public TOrvAckNak {
 public:
  using TOrvAckNak::TOrvAckNak;

  // 9600 8N1, 2 ms between characters; the descriptor (> 0) or a negative code of
  // TOrvComm::Open.
  int Open(const std::string& portName);
  // 0 or a negative code: -150 file not readable, -151 a line too long or -152 a line that is
  // no record (lastLongLine names it; nothing was sent), the code of the first failed block,
  // -26 cancelled.
  int SendFile(const std::string& fileName, const Progress& progress = {});

  // Line number (from 1) of the line that made the last SendFile refuse its file; 0 if none.
  int lastLongLine = 0;
};

// The name a terminal gets for a program file: the file name without directory, cut at its first
// '.', at most 8 characters, upper case, padded with blanks to 8 characters.
std::string UphProgramName(const std::string& fileName);

// The binary form of an Intel-HEX record ":LLAAAATT<data>CC": address high and low byte, then
// the LL data bytes; record type and checksum are not used. False for a line that does not
// hold a whole record.
bool UphBinaryRecord(const std::string& line, std::vector<uint8_t>& record);

}  // namespace quillon
