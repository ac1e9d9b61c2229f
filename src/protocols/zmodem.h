#pragma once
// Z-Modem in both directions, with its waits adjustable. ZmodemReceive and ZmodemSend of
// xyz_transfers.h run with the default waits; these overloads let a caller (or a test that
// must not sit through half a minute of silence) choose them.
#include <string>

#include "protocols/xyz_transfers.h"

namespace quillon::xyz {

struct ZmodemTiming {
  int silenceMs = 3000;  // how long a side waits for the peer before it asks again
  int silentTries = 10;  // waits in a row without an answer before the transfer ends (kTimeout)
};

[[nodiscard]] int ZmodemReceive(Line& line, const std::string& targetPath, std::string& senderName,
                                const Progress& progress, const ZmodemTiming& timing);
[[nodiscard]] int ZmodemSend(Line& line, const std::string& path, const Progress& progress,
                             const ZmodemTiming& timing);

}  // namespace quillon::xyz
