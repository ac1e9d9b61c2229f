#include "faults.h"

#include "block.h"

namespace sim {

bool FaultKindFromName(std::string_view name, FaultKind& kind) {
  static const struct {
    std::string_view name;
    FaultKind kind;
  } kNames[] = {{"checksum", FaultKind::kChecksum},
                {"counter", FaultKind::kCounter},
                {"drop", FaultKind::kDrop},
                {"extra", FaultKind::kExtra},
                {"silence", FaultKind::kSilence}};
  for (const auto& n : kNames) {
    if (n.name == name) {
      kind = n.kind;
      return true;
    }
  }
  return false;
}

std::vector<FaultKind> AllFaultKinds() {
  return {FaultKind::kChecksum, FaultKind::kCounter, FaultKind::kDrop, FaultKind::kExtra,
          FaultKind::kSilence};
}

FaultPlan::FaultPlan(double rate, std::vector<FaultKind> kinds, std::uint32_t seed)
    : rate_(rate), kinds_(std::move(kinds)), random_(seed) {}

std::optional<FaultKind> FaultPlan::Draw() {
  if (rate_ <= 0.0 || kinds_.empty()) return std::nullopt;
  const double u = static_cast<double>(random_()) / 4294967296.0;
  if (u >= rate_) return std::nullopt;
  ++count_;
  return kinds_[Below(static_cast<std::uint32_t>(kinds_.size()))];
}

std::string FaultPlan::Apply(FaultKind kind, std::string_view frame) {
  std::string out(frame);
  const std::size_t len = out.size();  // at least 8
  switch (kind) {
    case FaultKind::kChecksum: {
      const std::size_t pos = len - 3 + Below(2);
      const int value = HexValue(static_cast<std::uint8_t>(out[pos]));
      out[pos] = Hex2(static_cast<unsigned>((value + 1 + static_cast<int>(Below(15))) % 16))[1];
      break;
    }
    case FaultKind::kCounter: {
      const std::size_t n = len - 8;
      const int right = out[n + 4] - '0';
      // Neither the right digit nor the one before it.
      const int wrong = (right + 1 + static_cast<int>(Below(8))) % 10;
      if (frame == kEndBlock) {
        out[4] = static_cast<char>('0' + wrong);
      } else {
        out = BuildBlock(out[3], frame.substr(4, n), wrong);
      }
      break;
    }
    case FaultKind::kDrop:
      out.erase(3 + Below(static_cast<std::uint32_t>(len - 3)), 1);
      break;
    case FaultKind::kExtra:
      // Behind the type and before the last checksum digit, so that the byte where CR must
      // stand is always a hex digit.
      out.insert(out.begin() + 4 + Below(static_cast<std::uint32_t>(len - 5)),
                 static_cast<char>(random_() & 0xFF));
      break;
    case FaultKind::kSilence:
      out.clear();
      break;
  }
  return out;
}

}  // namespace sim
