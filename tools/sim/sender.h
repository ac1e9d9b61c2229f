#pragma once
// The terminal sending a transfer: a first block with the header text, one block per line of a
// file, the end block. Each block waits for its answer and is repeated after a NAK or silence;
// a missing answer to the end block repeats the whole transfer.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "session.h"

namespace sim {

// The data of the '+' blocks for a file's content: one per line without its LF or CR LF; a line
// longer than a block holds goes as several consecutive blocks. A last line without LF counts.
std::vector<std::string> SplitIntoBlocks(std::string_view content);

struct TransferCounts {
  int blocks = 0;  // blocks of the successful round, header and end block included
  int naks = 0;    // NAKs received in all rounds
};

// Sends one transfer. `beforeRound` runs before every round (e.g. waiting to be polled) and may
// fail it. With `holdAfter` > 0 the transfer stops once that many blocks (the header block
// counted) are accepted: "HOLD <n>" is printed and the line held, read and dropped, until the
// other side closes it or a stop signal comes; the transfer then counts as failed. On failure
// s.error holds the reason.
bool SendTransfer(Session& s, std::string_view header, const std::vector<std::string>& blocks,
                  const std::function<bool()>& beforeRound, TransferCounts& counts,
                  int holdAfter = 0);

}  // namespace sim
