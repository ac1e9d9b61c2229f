#pragma once
// Pieces the benchmarks share: the simulator as the sending terminal and the minimal reference
// responder.
#include <functional>
#include <string>

#include "support/child_process.h"

namespace quillon::bench {

// Starts the simulator sending `file` with answer-time statistics; the line's path, or empty.
std::string StartSender(test::ChildProcess& sim, const std::string& file);
// The median answer time the simulator printed, or -1.
long MedianMicros(const std::string& simOut);
// The median with the reference responder on the line.
long RunReference(const std::string& file);
// A file of `blocks` lines of 255 bytes.
void WriteBlockFile(const std::string& path, int blocks);
// Runs the reference responder and `runReceiver` alternately, three rounds each, and keeps each
// one's best median; false (with a message on stderr) when a measurement failed.
bool MeasureAgainstReference(const std::string& file,
                             const std::function<long(const std::string&)>& runReceiver,
                             long& receiver, long& reference);

}  // namespace quillon::bench
