#pragma once
// Result codes of the serial and block-protocol layer. Every operation returns 0 for success or
// one of these negative codes, and keeps it as the port object's last error.
#include <string>

namespace quillon {

namespace rc {
inline constexpr int kOk = 0;
inline constexpr int kNotOpen = -1;
inline constexpr int kOpenFailed = -2;
inline constexpr int kAlreadyOpen = -3;
inline constexpr int kSetParamsOnOpenFailed = -4;
inline constexpr int kShutdown = -5;  // application ends, or the port was closed meanwhile
inline constexpr int kNoQueue = -6;
inline constexpr int kPurgeRxFailed = -7;
inline constexpr int kCloseFailed = -9;
inline constexpr int kReadFailed = -10;
inline constexpr int kTimeout = -12;
inline constexpr int kBadLength = -13;
inline constexpr int kNoTerminator = -14;
inline constexpr int kTestFailed = -16;
inline constexpr int kWriteCharFailed = -17;
inline constexpr int kWriteBlockFailed = -18;
inline constexpr int kSetParamsFailed = -20;
inline constexpr int kAborted = -26;    // the port is wanted back
inline constexpr int kNoLineAck = -27;  // a plain text line was not acknowledged
inline constexpr int kPortBroken = -28;
// Modem dialogue.
inline constexpr int kModemOk = -50;          // the modem answered with an OK string
inline constexpr int kModemBadAnswer = -51;   // unexpected answer, or no ring line
inline constexpr int kModemInitFailed = -53;  // initialisation failed or no answer
inline constexpr int kModemConnected = -55;   // the answer's first word is a connect string
inline constexpr int kModemConnectFailed = -56;
inline constexpr int kModemPasswordOk = -57;  // internal
inline constexpr int kModemPasswordWrong = -58;
inline constexpr int kModemFailure = -59;  // failure answer, or line released after a failed call
inline constexpr int kModemHangUpFailed = -60;
inline constexpr int kUndefined = -99;
inline constexpr int kAck = -101;
inline constexpr int kNak = -102;
inline constexpr int kEnq = -103;
inline constexpr int kBlockReceived = -104;
inline constexpr int kTooManyNaks = -105;
inline constexpr int kEndOfTransfer = -106;
inline constexpr int kNoPollAnswer = -107;
inline constexpr int kBadChecksum = -108;
inline constexpr int kTooFewChars = -109;
inline constexpr int kNoCr = -110;
inline constexpr int kBadCounter = -111;
inline constexpr int kSendFileNotFound = -150;
// A file to send line by line holds a line longer than the line buffer of its send mode; the
// file is refused before anything is sent.
inline constexpr int kSendLineTooLong = -151;
// A file to send as Intel-HEX records holds a line that is no complete record.
inline constexpr int kBadHexRecord = -152;
}  // namespace rc

// The German text of a code; "Unbekannter Fehler" for codes without one.
std::string ErrorTextOf(int code);

}  // namespace quillon
