#pragma once
// One send of a file to a terminal, in one of the seven send modes, on a port that nobody else
// holds at the moment (the caller has borrowed it from its receive thread). The log lines, the
// port states and the progress go to the caller's hooks; the outcome says whether there is a
// failure to show.
//
// Thread safety: RunSend runs on the sending thread; SendCancel::Cancel may be called from any
// thread and ends the running transfer through its own means (the block protocols' abort
// request, the X/Y/Z transfers' progress callback and line waker). No thread is ever killed.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "common/shutdown_state.h"
#include "config/settings_types.h"

namespace quillon {

class TOrvComm;
class LibraryPort;

// The protocol codes of the send dialog's list.
enum SendProtocol : int {
  kSendStandard = 1,
  kSendMsComm = 2,
  kSendUph = 3,
  kSendDl = 4,
  kSendXModem = 6,
  kSendYModem = 7,
  kSendZModem = 8,
};

// Result codes of a send: nothing to report, or a failure whose text is to be shown.
inline constexpr int kSendResultNone = 0;
inline constexpr int kSendResultFailed = 2;

// The dialog's protocol texts, in list order, with their codes.
struct SendProtocolItem {
  const char* text;
  int code;
};
inline constexpr SendProtocolItem kSendProtocols[] = {{"Standard ( Nexa ACK-/NAK )", kSendStandard},
                                                      {"MSCOMM", kSendMsComm},
                                                      {"UPH", kSendUph},
                                                      {"DL", kSendDl},
                                                      {"X-Modem", kSendXModem},
                                                      {"Y-Modem", kSendYModem},
                                                      {"Z-Modem", kSendZModem}};
// The code of a protocol text; 0 for an unknown text.
int SendProtocolCode(const std::string& text);

struct SendHooks {
  std::function<void(const std::string& line)> log;  // a logbook line of the port
  std::function<void(int state)> portState;          // LED state of the port
  std::function<void(int blocks, int bytes, int percent)> progress;
};

struct SendOutcome {
  int result = kSendResultNone;
  std::string message;  // the failure's text, for the error box
  bool sent = false;    // the file went over completely
  int blocks = 0;       // data blocks sent
};

// Lets another thread end a running send.
class SendCancel {
 public:
  void Cancel();
  bool Cancelled() const { return cancelled_.load(); }
  const std::atomic<bool>& Flag() const { return cancelled_; }
  // The running send names the object whose waits a cancel must end (null: none).
  void Attach(TOrvComm* comm);
  void Attach(LibraryPort* port);
  void Detach();

 private:
  std::mutex mutex_;
  std::atomic<bool> cancelled_{false};
  TOrvComm* comm_ = nullptr;        // mutex_
  LibraryPort* library_ = nullptr;  // mutex_
};

// Sends `file` to the port of `opt` with `protocol`. The port must be free.
[[nodiscard]] SendOutcome RunSend(const TQuillonOpt& opt, int protocol, const std::string& file,
                                  const SendHooks& hooks, SendCancel& cancel,
                                  const ShutdownState* shutdown);

}  // namespace quillon
