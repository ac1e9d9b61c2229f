#pragma once
// The command line of quillon-sim as one plain struct, filled by Parse() without side effects.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "faults.h"

namespace sim {

struct Options {
  bool help = false;

  // The line.
  bool pty = false;
  std::string printPath;
  std::string device;
  int baud = 9600;
  int openTimeoutMs = 30000;

  // Actions, carried out in this order.
  std::vector<std::string> pollAddresses;
  std::string sendFile;
  std::optional<std::string> header;
  int transfers = 1;
  bool clock = false;
  int clockDelayMs = 0;
  std::string receiveFile;
  bool startNak = false;
  bool stay = false;

  // Faults.
  bool faultsWanted = false;  // --fault-rate given: report the count at the end
  double faultRate = 0.0;
  std::vector<FaultKind> faultKinds = AllFaultKinds();
  std::uint32_t seed = 1;

  // Timing.
  int ackTimeoutMs = 3000;
  int finalTimeoutMs = 10000;
  int maxRetries = 20;
  int transferRetries = 5;

  bool stats = false;

  bool HasActions() const {
    return !pollAddresses.empty() || !sendFile.empty() || clock || !receiveFile.empty();
  }
};

// Parses argv[1..]. On a usage error returns false with a German message in `error`.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);

// The German help text.
const char* HelpText();

}  // namespace sim
