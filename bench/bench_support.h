#pragma once
// Pieces the benchmarks share: one round of a transfer that the sending terminal
// (bench_block_sender) sends in lockstep to the minimal reference responder and to the
// receiver under test, and the comparison over several rounds.
#include <functional>
#include <memory>
#include <string>

namespace quillon::bench {

// Starts a receiver on `line`. The handle it returns is kept until the transfer is over;
// releasing it ends the receiver. Null when the receiver could not start.
using StartReceiver = std::function<std::shared_ptr<void>(const std::string& line)>;

struct Comparison {
  long reference = -1;  // best median of the rounds, ns
  long receiver = -1;
  double ratio = -1;  // median over the rounds of receiver / reference
  long added = -1;    // median over the rounds of receiver - reference, ns
};

// CPU seconds (user and system) a process has used so far; -1 when it cannot be read.
double ProcessCpuSeconds(int pid);

// A file of `blocks` lines of 255 bytes.
void WriteBlockFile(const std::string& path, int blocks);

// Runs `rounds` transfers of `file`. In each the sender, pinned to one processor, sends every
// block first to the reference responder and then to the receiver, both pinned to another, so
// that both meet the same load of the machine at the same moments and the same wake-up paths
// between processors. Prints every round's medians; false (with a message on stderr) when no
// round could be measured.
bool MeasureAgainstReference(const std::string& file, const StartReceiver& start, int rounds,
                             Comparison& result);

}  // namespace quillon::bench
