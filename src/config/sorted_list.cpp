#include "config/sorted_list.h"

#include <algorithm>

#include "common/encoding.h"

namespace quillon {

bool AddSorted(std::vector<std::string>& list, const std::string& value) {
  const std::string folded = FoldCase(value);
  const auto at = std::lower_bound(
      list.begin(), list.end(), folded,
      [](const std::string& entry, const std::string& wanted) { return FoldCase(entry) < wanted; });
  if (at != list.end() && FoldCase(*at) == folded) return false;
  list.insert(at, value);
  return true;
}

}  // namespace quillon
