#pragma once
// The sequential-number file mode: the first free name of a series.
#include <string>

namespace quillon {

// Tries n = first, first + 1, ... formatted with leading zeros to `digits` places (1..18): the
// name with every "%lfd" replaced by n, or name + "." + n when it has no "%lfd". The first
// candidate that does not exist is the result; so is the first candidate when the drive of the
// name is not ready. The search always starts at `first`, so a gap left by a deleted file is
// filled first. When n needs more places than `digits`, the result is "Ueberlauf.k" in the
// directory of the name, k >= 1 the smallest number whose file does not exist.
[[nodiscard]] std::string ResolveSequential(const std::string& name, int digits, int first);

}  // namespace quillon
