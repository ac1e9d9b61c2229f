// The modem dialogue of TOrvComm: an answering modem on the port, driven by the
// port's receive thread. Every wait here is one of the port's own waits (reads with the port's
// time-out, pauses that wake on the abort and shutdown descriptors), so an abort (-26) or the
// application's end (-5) stops the dialogue at once; such a code is handed back unchanged
// instead of being turned into a modem result.
//
// Text: list items and commands are UTF-8 (they come from the settings); lines from the modem
// are bytes, taken as Windows-1252 for comparing and logging.
#include <algorithm>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/encoding.h"
#include "common/format.h"
#include "common/texts.h"
#include "serial/modem_text.h"
#include "serial/orv_comm.h"
#include "serial/result_codes.h"

namespace quillon {
namespace {

constexpr int kLineMax = 256;      // a modem line
constexpr int kPasswordMax = 200;  // the caller's password line
constexpr int kPresentTimeoutMs = 2000;
constexpr int kInitTimeoutMs = 6000;
constexpr int kInitPauseMs = 500;      // before each init string
constexpr int kCallTimeoutMs = 60000;  // answering a call
constexpr int kPasswordTimeoutMs = 5000;
constexpr int kPasswordWindowMs = 10000;
constexpr int kHangUpTimeoutMs = 2000;
constexpr int kGuardTimeMs = 1500;
constexpr int kTildePauseMs = 500;
constexpr int kSettleMs = 10;  // after a raw piece: wait while the modem still sends
constexpr char kLf = 10;
constexpr char kCr = 13;

bool IsInterrupt(int code) { return code == rc::kAborted || code == rc::kShutdown; }

bool ContainsAt(const std::string& piece) {
  for (size_t i = 0; i + 1 < piece.size(); ++i) {
    if ((piece[i] == 'A' || piece[i] == 'a') && (piece[i + 1] == 'T' || piece[i + 1] == 't')) {
      return true;
    }
  }
  return false;
}

}  // namespace

void TOrvComm::SetInitStrings(const std::string& text) {
  for (std::string& item : SplitModemText(text)) initStrings.push_back(std::move(item));
}

void TOrvComm::SetConnectStrings(const std::string& text) {
  for (std::string& item : SplitModemText(text)) connectStrings.push_back(std::move(item));
}

void TOrvComm::SetOkStrings(const std::string& text) {
  for (std::string& item : SplitModemText(text)) okStrings.push_back(std::move(item));
}

void TOrvComm::SetRingStrings(const std::string& text) {
  for (std::string& item : SplitModemText(text)) ringStrings.push_back(std::move(item));
}

void TOrvComm::SetAnswerStrings(const std::string& text) {
  for (std::string& item : SplitModemText(text)) answerStrings.push_back(std::move(item));
}

int TOrvComm::ModemCommand(const std::string& command, std::string* response, bool appendCr) {
  if (!IsOpen()) return Fail(rc::kNotOpen);
  std::string sent = Utf8ToCp1252(command);
  if (appendCr) sent += kCr;
  Purge(1);
  if (const int w = WriteString(sent); w != rc::kOk) {
    return Fail(IsInterrupt(w) ? w : rc::kModemInitFailed);
  }
  std::string answer;
  for (;;) {
    char buffer[kLineMax + 1];
    if (Gets(buffer, kLineMax, kLf) == 0) {
      const int code = GetLastError();
      return Fail(IsInterrupt(code) ? code : rc::kModemInitFailed);
    }
    answer = CleanModemLine(Cp1252ToUtf8(buffer));
    if (!answer.empty() && answer != command) break;  // else: a blank line or the echo
  }
  if (response != nullptr) *response = answer;
  if (InModemList(okStrings, answer)) return Fail(rc::kModemOk);
  if (InModemList(connectStrings, FirstWord(answer))) return Fail(rc::kModemConnected);
  if (InModemList(failureStrings, answer)) return Fail(rc::kModemFailure);
  return Fail(rc::kModemBadAnswer);
}

bool TOrvComm::ModemPresent() {
  if (!IsOpen()) {
    Fail(rc::kNotOpen);
    return false;
  }
  const int saved = timeout_;
  timeout_ = kPresentTimeoutMs;
  const int result = ModemCommand("AT", nullptr, true);
  timeout_ = saved;
  return result == rc::kModemOk;
}

int TOrvComm::InitModem() {
  if (!IsOpen()) return Fail(rc::kNotOpen);
  const int saved = timeout_;
  timeout_ = kInitTimeoutMs;
  int result = rc::kOk;
  for (const std::string& command : initStrings) {
    SleepUnlessWoken(kInitPauseMs, abort_.fd(), ShutdownFd());
    if (const int code = InterruptCode()) {
      result = code;
      break;
    }
    if (verboseLog) Log(Format(txt::kModemSend, command));
    std::string answer;
    const int r = ModemCommand(command, &answer, true);
    if (verboseLog) Log(Format(txt::kModemReceived, answer));
    if (r != rc::kModemOk) {
      result = IsInterrupt(r) ? r : rc::kModemInitFailed;
      break;
    }
  }
  timeout_ = saved;
  return Fail(result);
}

int TOrvComm::WaitForCall(const std::vector<std::string>& passwords) {
  if (!IsOpen()) return Fail(rc::kNotOpen);
  {
    char buffer[kLineMax + 1];
    if (Gets(buffer, kLineMax, kLf) == 0) {
      const int code = GetLastError();
      return Fail(IsInterrupt(code) ? code : rc::kModemBadAnswer);
    }
    const std::string line = CleanModemLine(Cp1252ToUtf8(buffer));
    if (line.empty() || !InModemList(ringStrings, line)) return Fail(rc::kModemBadAnswer);
  }
  // A new call: no protocol request from an earlier one survives (the receive thread reads it).
  protocolRequest.clear();
  Log(txt::kModemCallReceived);
  const int saved = timeout_;
  timeout_ = kCallTimeoutMs;

  // Answer the call: the answer strings in order until one gets a connect answer. Without
  // answer strings the modem answers by itself.
  int result = rc::kOk;
  std::string connectLine;
  for (const std::string& answer : answerStrings) {
    Log(txt::kModemTryConnect);
    const int r = ModemCommand(answer, &connectLine, true);
    if (IsInterrupt(r)) {
      timeout_ = saved;
      return Fail(r);
    }
    if (r == rc::kModemConnected) {
      result = rc::kOk;
      break;
    }
    if (r != rc::kModemOk) {
      result = rc::kModemConnectFailed;
      break;
    }
    result = rc::kModemOk;  // next answer string; only OKs give -50 and no password check
  }
  if (result == rc::kOk) {
    if (verboseLog && !answerStrings.empty()) Log(Format(txt::kModemReceived, connectLine));
    Log(txt::kModemConnected);
  } else if (result == rc::kModemConnectFailed) {
    Log(txt::kModemConnectFailed);
  }

  // The caller's password line: "password" or "password@protocol request", ended by CR.
  auto checkPassword = [&]() -> int {
    protocolRequest.clear();
    const uint64_t start = Clock();
    timeout_ = kPasswordTimeoutMs;
    std::string line;
    auto readLine = [&]() {
      char buffer[kPasswordMax + 1];
      const int n = Gets(buffer, kPasswordMax, kCr);
      line = CleanModemLine(Cp1252ToUtf8(buffer));
      return n;
    };
    int got = readLine();
    if (got == 0 && IsInterrupt(GetLastError())) return GetLastError();
    if (!connectionId.empty()) {
      if (verboseLog) Log(Format(txt::kModemSendConnectionId, CleanModemLine(connectionId)));
      WriteString(Utf8ToCp1252(connectionId));
    }
    if (Clock() - start >= kPasswordWindowMs) return rc::kModemPasswordWrong;
    if (got == 0) {
      got = readLine();
      if (got == 0 && IsInterrupt(GetLastError())) return GetLastError();
    }
    const std::string rejected = std::string(txt::kModemPasswordRejected) + kCr;
    if (line.empty()) {
      Log(txt::kModemNoPassword);
      WriteString(rejected);
      return rc::kModemPasswordWrong;
    }
    Log(verboseLog ? Format(txt::kModemPasswordReceivedText, line) : txt::kModemPasswordReceived);
    std::string password = line;
    if (const size_t at = line.find('@'); at != std::string::npos) {
      protocolRequest = line.substr(at + 1);
      password = line.substr(0, at);
    }
    if (InModemList(passwords, password)) {
      Log(verboseLog ? Format(txt::kModemPasswordCorrectText, password)
                     : txt::kModemPasswordCorrect);
      WriteString(std::string(txt::kModemPasswordAccepted) + kCr);
      return rc::kOk;
    }
    Log(verboseLog ? Format(txt::kModemPasswordWrongText, password) : txt::kModemPasswordWrong);
    WriteString(rejected);
    return rc::kModemPasswordWrong;
  };
  if (result == rc::kOk && !passwords.empty()) {
    result = checkPassword();
    if (IsInterrupt(result)) {
      timeout_ = saved;
      return Fail(result);
    }
  }

  if (result == rc::kModemConnectFailed || result == rc::kModemPasswordWrong) {
    const int hangUp = HangUp();
    if (hangUp == rc::kOk) result = rc::kModemFailure;
  }
  timeout_ = saved;
  return Fail(result);
}

int TOrvComm::HangUp() {
  if (!IsOpen()) return Fail(rc::kNotOpen);
  const int saved = timeout_;
  timeout_ = kHangUpTimeoutMs;
  // A pause that ends at once on abort or shutdown; then the interrupt code, else 0.
  auto pause = [this](int ms) {
    SleepUnlessWoken(ms, abort_.fd(), ShutdownFd());
    return InterruptCode();
  };
  const std::string text = hangUpString.substr(0, hangUpString.find("^M"));
  int result = rc::kOk;
  int interrupt = text.empty() ? rc::kOk : pause(kGuardTimeMs);
  if (interrupt == rc::kOk) Log(txt::kModemTryHangUp);
  size_t pos = 0;
  while (interrupt == rc::kOk && pos < text.size()) {
    if (text[pos] == '~') {
      ++pos;
      interrupt = pause(kTildePauseMs);
      Purge(1);
      continue;
    }
    const size_t end = std::min(text.find('~', pos), text.size());
    const std::string piece = text.substr(pos, end - pos);
    pos = end;
    Purge(1);
    if (verboseLog) Log(Format(txt::kModemSend, piece));
    if (!ContainsAt(piece)) {
      // Written as it is (the escape "+++"); whatever the modem says to it is drained.
      const int w = WriteString(Utf8ToCp1252(piece));
      if (IsInterrupt(w)) {
        interrupt = w;
      } else if (w != rc::kOk && result == rc::kOk) {
        result = w;
      }
      while (interrupt == rc::kOk) {
        interrupt = pause(kSettleMs);
        if (device_.InputCount() == 0) break;
        Purge(1);
      }
      continue;
    }
    std::string answer;
    const int r = ModemCommand(piece, &answer, true);
    if (verboseLog) Log(Format(txt::kModemReceived, answer));
    if (IsInterrupt(r)) {
      interrupt = r;
    } else if (r != rc::kModemOk && r != rc::kModemFailure && result == rc::kOk) {
      result = r;
    }
  }
  timeout_ = saved;
  if (interrupt != rc::kOk) return Fail(interrupt);
  if (result != rc::kOk) {
    Log(txt::kModemHangUpFailed);
    return Fail(rc::kModemHangUpFailed);
  }
  return Fail(rc::kOk);
}

}  // namespace quillon
