#pragma once
// The two transfers of the uploader: the HEX transfer (a single bank .hex or a bank set .h00,
// .h01, ...) with its rate handshake and a line-by-line acknowledgement, and the script transfer
// (.exs) of ESC frames in checksummed envelopes preceded by the PC's clock. Each runs to one
// final code and reports every step through a callback.
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "cancel_flag.h"

namespace sollex {

// What a transfer reports; the dialog reacts to each code.
enum Code : int {
  kDone = 0,            // transfer over
  kCancelled = 1,       // cancel noticed (followed by kDone)
  kBytesSent = 2,       // value: bytes sent so far
  kFrameSent = 3,       // value: frame number from 1
  kPortError = 4,       // value: system error code
  kHandshakeError = 5,  // value: system error code
  kFileError = 6,       // value: bank index
  kLineCount = 7,       // value: lines to send
  kTotalBytes = 8,      // value: bytes to send
  kFrameCount = 9,      // value: frames to send
  kFilePath = 10,       // text: the path
  kWriteError = 11,     // value: system error code
  kNoAck = 12,          // no ACK for a HEX line
  kBankCount = 13,      // value: banks of the set
  kBankNumber = 14,     // value: bank being sent, from 1
  kRate = 15,           // value: rate index 0..2, 3 = 9600
  kWrongFormat = 16,    // script without frames
  kNoFrameAck = 17,     // no "<ACK>" for a script frame
};

struct Report {
  int code = 0;
  long value = 0;
  std::string text;  // the path with kFilePath
};

struct UploadJob {
  int portIndex = 0;  // 0 = COM1
  int rateIndex = 2;  // 0 = 19200, 1 = 38400, 2 = 57600
  std::string path;
  std::string remapFile;  // empty: ComRemap.ini beside the program
  // Set by the user; every wait of the transfer ends at once, and the transfer stops with
  // kCancelled and kDone at the next point where it may stop.
  const CancelFlag* cancel = nullptr;
  std::function<void(const Report&)> report;
  int bankPauseMs = 2000;  // pause after each bank of a set
};

// Rate of a rate index (3 = 9600) and its text for the progress line.
int RateOf(int rateIndex);
// "*b6#", "*b8#" or "*b9#".
std::string HandshakeString(int rateIndex);

// STX SOH payload ETX, the sum of STX..ETX modulo 256 as two upper-case hex digits, CR.
std::string Envelope(const std::string& payload);
// ESC "Z" yymmddhhnnss ESC.
std::string ClockPayload(const std::tm& local);
// ESC "B" ESC.
std::string EndPayload();
// Places where two ESC follow each other.
int CountFrameJoints(const std::string& content);
// The frames of a script: from each ESC to the next ESC, both included, anything between a
// frame's end and the next ESC skipped; a last frame without its closing ESC runs to the end.
std::vector<std::string> SplitFrames(const std::string& content);
// A frame's envelope must fit a 1024-byte buffer.
constexpr std::size_t kMaxPayload = 1018;

// The pieces a HEX file is sent in: every line without its line end (LF or CR LF), lines
// longer than 255 characters cut into pieces of 255; the last line is included without a line
// end too. A Ctrl-Z at the end (the old end-of-file mark, alone or followed only by line ends)
// ends the text and is neither sent nor counted. `lengths` gets the bytes of the file each
// piece stands for.
std::vector<std::string> HexPieces(const std::string& content, std::vector<long>* lengths);

// Bank files of a path ending in '0': the same path with '0', '1', ... as long as they exist.
std::vector<std::string> BankFiles(const std::string& path);

void RunHexTransfer(const UploadJob& job);
void RunScriptTransfer(const UploadJob& job);

}  // namespace sollex
