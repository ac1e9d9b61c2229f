#include "turnaround.h"

#include <algorithm>

namespace sim {
namespace {

// Nearest-rank percentile of sorted samples: the smallest value with at least `percent` of the
// samples at or below it.
std::int64_t Percentile(const std::vector<std::int64_t>& sorted, int percent) {
  if (sorted.empty()) return 0;
  std::size_t rank = (sorted.size() * static_cast<std::size_t>(percent) + 99) / 100;
  if (rank == 0) rank = 1;
  return sorted[rank - 1];
}

}  // namespace

std::string Turnaround::Summary() const {
  std::vector<std::int64_t> sorted = samples_;
  std::sort(sorted.begin(), sorted.end());
  return "TURNAROUND median_us=" + std::to_string(Percentile(sorted, 50)) +
         " p90_us=" + std::to_string(Percentile(sorted, 90)) +
         " blocks=" + std::to_string(sorted.size());
}

}  // namespace sim
