#include "receive/sequential_name.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "common/file_io.h"
#include "common/paths.h"
#include "common/texts.h"
#include "receive/drive_ready.h"
#include "receive/placeholders.h"

namespace quillon {
namespace {

std::string Candidate(const std::string& name, const std::string& number) {
  if (name.find(kSequentialPlaceholder) != std::string::npos) {
    return ReplaceAll(name, kSequentialPlaceholder, number);
  }
  return name + "." + number;
}

std::string OverflowName(const std::string& name) {
  const std::string base = DirectoryPart(name) + txt::kOverflowName + ".";
  for (long long k = 1;; ++k) {
    const std::string candidate = base + std::to_string(k);
    if (!PathExists(candidate)) return candidate;
  }
}

}  // namespace

std::string ResolveSequential(const std::string& name, int digits, int first) {
  digits = std::clamp(digits, 1, 18);
  long long limit = 1;
  for (int i = 0; i < digits; ++i) limit *= 10;
  const bool ready = DriveReady(name);
  for (long long n = std::max(first, 0); n < limit; ++n) {
    char number[32];
    std::snprintf(number, sizeof number, "%0*lld", digits, n);
    const std::string candidate = Candidate(name, number);
    if (!ready || !PathExists(candidate)) return candidate;
  }
  return OverflowName(name);
}

}  // namespace quillon
