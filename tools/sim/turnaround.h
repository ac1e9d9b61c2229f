#pragma once
// Answer times of the other side: from the end of writing a block to the arrival of its answer.
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

class Turnaround {
 public:
  void Record(std::int64_t microseconds) { samples_.push_back(microseconds); }
  // "TURNAROUND median_us=<m> p90_us=<p> blocks=<n>", by nearest rank; zeros without samples.
  std::string Summary() const;

 private:
  std::vector<std::int64_t> samples_;
};

}  // namespace sim
