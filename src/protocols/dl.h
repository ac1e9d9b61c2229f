#pragma once
// TOrvDL: sends a text or hex file to a terminal line by line as plain text (19200 7E1), each
// line with CR LF. The terminal may acknowledge every line with ACK: whether it does is learnt
// from the first line; a terminal that acknowledged it must acknowledge every further line, one
// that did not gets the lines with short pauses. An empty line ends the send.
//
// Thread safety: as TOrvComm (one owning thread; others may set the abort request).
#include <istream>
#include <string>
#include <vector>

#include "protocols/ack_nak.h"
#include "serial/orv_comm.h"

namespace quillon {

class TOrvDL : public TOrvV24 {
 public:
  using TOrvV24::TOrvV24;

  // The descriptor (> 0) or a negative code of TOrvComm::Open.
  int Open(const std::string& portName);
  // 0 or a negative code: -150 file not readable, -151 a line too long (lastLongLine names it;
  // nothing was sent), -27 a line not acknowledged, -26 cancelled, or a line error.
  int SendFile(const std::string& fileName, const TOrvAckNak::Progress& progress = {});

  bool firstLine = true;
  bool expectAck = true;
  // Line number (from 1) of the line that made the last SendFile refuse its file; 0 if none.
  int lastLongLine = 0;

 private:
  int SendLine(const std::string& line);
  // ACK within timeoutMs: 0; otherwise -12, -26 or -5 (other characters are ignored).
  int WaitAck(int timeoutMs);
};

// Helpers shared by the modes that send a file line by line.
namespace sendlines {

// Longest line a line-sending mode holds in its buffer, without the NUL behind it.
inline constexpr size_t kBufferChars = 99;

// The next line of `in` without its LF and with every CR dropped; false at the end.
bool ReadLine(std::istream& in, std::string& line);

// Percent of `bytes` in a file of `fileSize` bytes, rounded; 100 for an empty file.
int Percent(long long bytes, long long fileSize);

}  // namespace sendlines

}  // namespace quillon
