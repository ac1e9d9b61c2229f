#pragma once
// The terminal receiving a transfer from the PC: each block is checked and answered with ACK or
// NAK; a block repeated after a lost ACK is acknowledged again but kept only once.
#include <string>
#include <vector>

#include "session.h"

namespace sim {

struct ReceivedTransfer {
  std::string header;              // data of the first block (type '1'), empty without one
  std::vector<std::string> lines;  // data of the further blocks, in order
};

// Receives blocks up to and including the end block. Every character must follow within the
// answer time-out; when nothing comes the terminal asks again with NAK. Fails after more than
// --max-retries rejected or missing blocks in a row. With --silent-after N the terminal stops
// answering once N blocks are accepted ("SILENT <N>") and holds the line until it is closed,
// then fails; with --refuse-after N it answers every further block with NAK ("REFUSING <N>")
// until the line is closed. On failure s.error holds the reason.
bool ReceiveTransfer(Session& s, ReceivedTransfer& transfer);

// After --silent-after: prints "SILENT <accepted>", then reads and drops everything until the
// other side closes the line or a stop signal comes; always false (with s.error).
bool StaySilent(Session& s, int accepted);

// Writes `content` to `path` through a temporary file renamed over it.
bool WriteFileAtomically(Session& s, const std::string& path, const std::string& content);
// Writes header and lines, each followed by CR LF, to `path` through a temporary file.
bool WriteTransferFile(Session& s, const std::string& path, const ReceivedTransfer& transfer);

}  // namespace sim
