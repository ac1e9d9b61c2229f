#pragma once
// The X-Modem (1K blocks, CRC), Y-Modem (one file, block 0 with name and size) and Z-Modem
// transfers, both directions, over a Line. Results as in xyz_common.h.
//
// A receiver writes the data to `targetPath`, which it creates (it never writes over an
// existing file: a name that is taken is a failure), and fills `senderName` with the checked
// name the sender gave (SenderFileName; empty when none or unusable). After a failure the
// target is deleted again: a file reported as received is always complete.
// A sender reads `path` and gives the peer its last path component as the name.
#include <string>

#include "protocols/xyz_common.h"

namespace quillon::xyz {

[[nodiscard]] int XmodemReceive(Line& line, const std::string& targetPath,
                                const Progress& progress);
[[nodiscard]] int XmodemSend(Line& line, const std::string& path, const Progress& progress);

[[nodiscard]] int YmodemReceive(Line& line, const std::string& targetPath, std::string& senderName,
                                const Progress& progress);
[[nodiscard]] int YmodemSend(Line& line, const std::string& path, const Progress& progress);

[[nodiscard]] int ZmodemReceive(Line& line, const std::string& targetPath, std::string& senderName,
                                const Progress& progress);
[[nodiscard]] int ZmodemSend(Line& line, const std::string& path, const Progress& progress);

}  // namespace quillon::xyz
