#pragma once
// The terminal receiving a file in one of the PC's further send modes, checked against the
// rules of the wire:
// - binary chunks: a first block with the file name, data blocks of 128 bytes (the last one
//   shorter), the end block;
// - HEX records: a first block with an 8-character upper-case name padded with blanks, data
//   blocks of address high byte, address low byte and data, the end block;
// - plain lines: text lines ending in CR LF, at most 99 characters with the CR LF, 7 bits a
//   character, each answered with ACK (unless --no-first-ack for the first); no block format
//   and no end marker: the file is complete when the other side closes the line or falls
//   silent for --final-timeout.
#include "session.h"

namespace sim {

// Prints "READY" once the other side has the line open, then receives according to
// s.options.sendMode and writes s.options.modeFile; false with s.error
// when the line failed or what arrived breaks the mode's rules.
bool ReceiveInSendMode(Session& s);

}  // namespace sim
