#include "air.h"

#include <algorithm>

namespace sim {
namespace {

// Mark (true) or space at `us`: any signal sending a space makes the line a space.
bool Mark(const std::vector<Signal>& signals, double us) {
  for (const Signal& s : signals) {
    const double bits = (us - s.startUs) * s.baud / 1e6;
    if (bits < 0) continue;
    const auto n = static_cast<std::size_t>(bits);
    const std::size_t byte = n / 10;
    const std::size_t bit = n % 10;
    if (byte >= s.bytes.size() || bit == 9) continue;  // idle or stop bit: mark
    if (bit == 0) return false;                        // start bit
    if (((static_cast<unsigned char>(s.bytes[byte]) >> (bit - 1)) & 1) == 0) return false;
  }
  return true;
}

}  // namespace

std::string Receive(const std::vector<Signal>& signals, int baud) {
  std::string out;
  if (signals.empty() || baud <= 0) return out;
  double from = signals.front().startUs;
  double end = signals.front().EndUs();
  for (const Signal& s : signals) {
    from = std::min(from, s.startUs);
    end = std::max(end, s.EndUs());
  }
  const double bit = 1e6 / baud;
  // The receiver looks for a start bit sixteen times a bit, as a serial chip does.
  const double step = bit / 16;
  for (double t = from; t < end;) {
    if (Mark(signals, t) || Mark(signals, t + bit / 2)) {
      t += step;
      continue;
    }
    unsigned char c = 0;
    for (int i = 0; i < 8; ++i) {
      if (Mark(signals, t + bit * (1.5 + i))) c = static_cast<unsigned char>(c | (1u << i));
    }
    const bool framed = Mark(signals, t + bit * 9.5);
    out += framed ? static_cast<char>(c) : '\0';
    t += bit * 9.5;
    // After a framing error the receiver waits for the line to come back to mark.
    while (!framed && t < end && !Mark(signals, t)) t += step;
  }
  return out;
}

}  // namespace sim
