#pragma once
// What the PC's receiver makes of the stations' signals on the shared radio line.
//
// Every station sends its bytes as a serial signal of its own rate: a start bit (space), eight
// data bits from the lowest, a stop bit (mark), the line at mark in between. Where two signals
// overlap, a space of either wins, so two stations answering at once reach the PC as one
// signal: unchanged when they send the same bytes at the same moment, garbled otherwise. The
// receiver samples that signal at its own rate in the middle of each bit; a character whose
// stop bit it finds at space is handed over as NUL (a framing error on a line in raw mode).
#include <string>
#include <vector>

namespace sim {

struct Signal {
  std::string bytes;
  int baud = 9600;
  double startUs = 0;  // when its first start bit begins

  double EndUs() const { return startUs + 10.0 * 1e6 * static_cast<double>(bytes.size()) / baud; }
};

// The characters a receiver at `baud` reads from the signals together.
std::string Receive(const std::vector<Signal>& signals, int baud);

}  // namespace sim
