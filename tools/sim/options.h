#pragma once
// The command line of quillon-sim as one plain struct, filled by Parse() without side effects.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "faults.h"

namespace sim {

enum class Mode { kTerminal, kModem, kUploader };

// The terminal receiving a file in one of the PC's further send modes.
enum class SendMode { kNone, kMsComm, kUph, kDl };

struct Options {
  bool help = false;
  Mode mode = Mode::kTerminal;

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
  int holdAfter = 0;  // stop the first transfer after this many accepted blocks (0: never)
  bool clock = false;
  int clockDelayMs = 0;
  std::vector<std::string> receiveFiles;  // one transfer each, in this order
  std::string thenSendFile;               // sent once after the receptions
  bool startNak = false;
  bool stay = false;
  // Receiving in a further send mode (instead of --receive): what arrives is checked against
  // the mode's rules and written to modeFile.
  SendMode sendMode = SendMode::kNone;
  std::string modeFile;
  bool noFirstAck = false;  // plain lines: the first line gets no ACK
  int silentAfter = 0;      // answer nothing more after this many accepted blocks or lines
  int refuseAfter = 0;      // answer NAK to every block or line after this many

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

  // Modem mode: an answering modem with a caller behind it; the actions run once the caller
  // is connected (and its password accepted).
  std::string okAnswer = "OK";
  bool noAnswer = false;
  bool echo = true;
  int ringAfterMs = 500;
  std::string ringText = "RING";
  std::string connectAnswer = "CONNECT 9600";
  std::optional<std::string> failAnswer;
  std::optional<std::string> password;
  int calls = 1;
  int guardTimeMs = 1000;

  // Uploader-target mode.
  std::string receivedFile;
  bool silentHandshake = false;
  long ackLimit = -1;  // acknowledge only this many lines or frames (-1: all)
  std::string ackText = "<ACK>";

  bool HasActions() const {
    return !pollAddresses.empty() || !sendFile.empty() || clock || !receiveFiles.empty() ||
           !thenSendFile.empty() || sendMode != SendMode::kNone;
  }
};

// Parses argv[1..]. On a usage error returns false with a German message in `error`.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);

// The German help text.
const char* HelpText();

}  // namespace sim
