#pragma once
// TOrvUph: sends an Intel-HEX file to a terminal as binary records inside acknowledged blocks:
// a first block with the 8-character program name, one block per record (address high byte,
// address low byte, data bytes), the end block. The end-of-file record ends the send and is not
// sent itself.
//
// Thread safety: as TOrvComm (one owning thread; others may set the abort request).
#include <string>

#include "protocols/ack_nak.h"
#include "protocols/uph_record.h"

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

}  // namespace quillon
