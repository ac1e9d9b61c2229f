#pragma once
// The receiver with its main window: the same start-up, engine and exit as headless mode, with
// the window as the user's way in.
#include <memory>
#include <string>
#include <vector>

#include "shell/receiver.h"
#include "shell/ui/main_form.h"
#include "shell/ui/qt_ui_sink.h"

namespace quillon {

class SingleInstance;

// Everything the windowed program owns for its lifetime, in the order it is built. Create it
// on the main thread after the QApplication.
class WindowedReceiver {
 public:
  WindowedReceiver();
  ~WindowedReceiver();
  WindowedReceiver(const WindowedReceiver&) = delete;
  WindowedReceiver& operator=(const WindowedReceiver&) = delete;

  // Start-up, the logbooks, the window shown with its first logbook line, the settings when no
  // port is active, the timer enabled. False when the program ends before the window is shown
  // (a command-line error); window().HasClosed() when it ended for want of an active port.
  bool Start(const std::string& exePath, const std::vector<std::string>& args,
             const std::string& homeDir);

  // SIGTERM or SIGINT: open boxes and dialogs are dismissed, further ones become lines on
  // stderr, and the window closes through the normal exit sequence, at once or, during the
  // start, as soon as the start is done.
  void RequestEnd();
  bool EndRequested() const { return endRequested_; }

  TMainForm& window() { return *form_; }
  AppContext& app() { return receiver_.app(); }
  PortStatusArray& status() { return receiver_.status(); }
  Logbook& logbook() { return receiver_.logbook(); }
  ReceptionControl& reception() { return receiver_.reception(); }
  TTxThread& sender(int port) { return receiver_.Sender(port); }

 private:
  QtUiSink sink_;
  Receiver receiver_;
  std::unique_ptr<TMainForm> form_;
  bool started_ = false;  // the window is shown and its logbook lines are loaded
  bool endRequested_ = false;
};

// A second start knocking at the running instance brings the window to the front. The watch
// ends with the window.
void WatchRaiseRequests(SingleInstance& instance, TMainForm& window);

// The windowed program. Exit codes as in headless mode: 0 after the window closed, 255 when
// another instance runs, 1 when start-up failed or no port is active.
int RunWindowed(const std::string& exePath, const std::vector<std::string>& args);

}  // namespace quillon
