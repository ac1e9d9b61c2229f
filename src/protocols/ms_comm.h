#pragma once
// TOrvMsComm: sends any file (typically a program) to a terminal in binary chunks of up to 128
// bytes inside acknowledged blocks: a first block with the file name, the chunks, the end block.
//
// Thread safety: as TOrvComm (one owning thread; others may set the abort request).
#include <string>

#include "protocols/ack_nak.h"

namespace quillon {

class TOrvMsComm : public TOrvAckNak {
 public:
  using TOrvAckNak::TOrvAckNak;

  // 9600 8N1; the descriptor (> 0) or a negative code of TOrvComm::Open.
  int Open(const std::string& portName);
  // 0 or a negative code: -150 file not readable, the code of the first failed block, -26
  // cancelled.
  int SendFile(const std::string& fileName, const Progress& progress = {});

  static constexpr int kChunkSize = 128;
};

}  // namespace quillon
