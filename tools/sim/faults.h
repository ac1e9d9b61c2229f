#pragma once
// Line faults injected on purpose, drawn from a seeded std::mt19937 so that the same seed gives
// the same faults in the same places. Only raw generator outputs are used (no standard
// distributions), so the sequence is the same with every standard library.
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class FaultKind { kChecksum, kCounter, kDrop, kExtra, kSilence };

// Name on the command line ("checksum", ...) to kind; false for an unknown name.
bool FaultKindFromName(std::string_view name, FaultKind& kind);
std::vector<FaultKind> AllFaultKinds();

class FaultPlan {
 public:
  FaultPlan(double rate, std::vector<FaultKind> kinds, std::uint32_t seed);

  // Decides for one block whether it is faulted, and how.
  std::optional<FaultKind> Draw();
  // The block as it goes on the line with the fault applied; empty for silence. Every fault
  // leaves a block a sound receiver must reject: a wrong counter is never the current one nor
  // the previous one (which a receiver may take as a repetition), and bytes are inserted or left
  // out only behind the length field.
  std::string Apply(FaultKind kind, std::string_view frame);
  int count() const { return count_; }

 private:
  std::uint32_t Below(std::uint32_t limit) { return static_cast<std::uint32_t>(random_() % limit); }

  double rate_;
  std::vector<FaultKind> kinds_;
  std::mt19937 random_;
  int count_ = 0;
};

}  // namespace sim
