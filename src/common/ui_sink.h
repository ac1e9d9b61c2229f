#pragma once
// The one way the engine reaches the user.
//
// The window implements it by posting events to itself; headless mode by its own main loop.
// The Post* calls may come from any thread and return at once; they carry the window messages
// of the receive and send threads (whose pending flags live with the callers). ShowMessage and
// AskYesNo block until the user has answered; when called from a worker thread the sink hands
// them to the main thread and the worker waits.
#include <string>

namespace quillon {

enum class MessageKind { Error, Warning, Information };

// LED states of a port or of the program.
enum LedState : int { kLedReady = 0, kLedBusy = 1, kLedClosed = 2, kLedError = -1 };

class UiSink {
 public:
  virtual ~UiSink() = default;

  // Counters or status changed (countersOnly) or log/data lines were added. A negative port is
  // a send progress report for that port.
  virtual void PostPortUpdate(int port, bool countersOnly) = 0;
  virtual void PostPortLed(int port, int ledState) = 0;
  // Send the command-line start file of the port.
  virtual void PostSendFile(int port) = 0;
  // Progress and final result of a send thread (to the send dialog).
  virtual void PostSendProgress(int port, int value) = 0;
  virtual void PostSendResult(int port, int result) = 0;

  // A modal message box: caption "Fehler", "Warnung" or "Information". "\r" breaks lines.
  virtual void ShowMessage(MessageKind kind, const std::string& text) = 0;
  // A yes/no question captioned "Bestätigung". `safeAnswer` is the answer that changes
  // nothing, taken where nobody can be asked.
  virtual bool AskYesNo(const std::string& text, bool safeAnswer) = 0;
};

// Caption of a message box of the given kind.
const char* MessageCaption(MessageKind kind);

}  // namespace quillon
