#pragma once
// Y-Modem over a Line: a batch of one file, block 0 with its name and size, then the data as
// X-Modem blocks with CRC-16, and an empty block 0 to end the batch.
#include <string>

#include "protocols/xmodem.h"

namespace quillon::xyz {

[[nodiscard]] int YmodemReceive(Line& line, const std::string& targetPath, std::string& senderName,
                                const Progress& progress, const XyTimings& timings);
[[nodiscard]] int YmodemSend(Line& line, const std::string& path, const Progress& progress,
                             const XyTimings& timings);

}  // namespace quillon::xyz
