#pragma once
// What every action of the simulator works with: the line, the options, the fault plan and the
// answer-time statistics, plus the German reason of the last failure.
#include <string>

#include "faults.h"
#include "line.h"
#include "options.h"
#include "turnaround.h"

namespace sim {

struct Session {
  Line& line;
  const Options& options;
  FaultPlan& faults;
  Turnaround& turnaround;
  std::string error;

  // Records a failure; returns false for use in `return s.Fail(...)`.
  bool Fail(std::string reason) {
    error = std::move(reason);
    return false;
  }
  // Writes one control character (ACK or NAK).
  bool Answer(char c);
  // Sleeps `ms` unless a stop signal comes first; false when stopped.
  bool Pause(int ms);
};

}  // namespace sim
