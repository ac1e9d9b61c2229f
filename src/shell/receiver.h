#pragma once
// The receiver's engine as both faces use it: the window and headless mode build one Receiver,
// hand it their UI sink and only present what it does.
//
// It owns the environment the receive threads share (settings, status records, shutdown
// state), the logbook and the reception control, runs the start-up and the exit sequence, and
// keeps the threads from reaching the face once it has exited. Main thread only.
#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/ui_sink.h"
#include "receive/logbook.h"
#include "receive/reception_control.h"
#include "receive/reception_env.h"
#include "send/tx_thread.h"
#include "shell/startup.h"

namespace quillon {

class Receiver {
 public:
  explicit Receiver(UiSink& face);
  ~Receiver();
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;

  // Start-up (paths, ports, settings, command line), then the logbooks loaded and their start
  // lines written. Ended: the program ends before anything is shown.
  StartupOutcome Start(const StartupOptions& options, PortButtonLayout& layout);
  // Start-up went without any complaint: only then the first timer tick runs its actions.
  bool StartedCleanly() const { return outcome_ == StartupOutcome::Started; }

  // First timer tick: the command-line send file of every port.
  void PostStartFiles();
  // A port's command-line send file is sent once and used up.
  void SendStartFile(int port);

  // Reception of all active ports started or stopped. A stop waits for running sends to give
  // their ports back (bounded; a send still running then is cancelled), never the other way
  // round.
  void StartReception();
  void StopReception();
  // Waits for running sends to end (bounded; one still running then is cancelled): before
  // reception stops and before the settings are edited, which the sends read.
  void EndSends();
  // The send thread of a port (1..8): created on first use, one send at a time.
  TTxThread& Sender(int port);
  // A send ended and its result was posted: a failure without a dialog to show it in a box.
  void ShowSendFailure(int port);

  // After the face handled the ports' updates: their pending logbook lines taken over, threads
  // that ended by themselves joined.
  void TakeOverUpdates();

  // The exit sequence: shutdown signalled (every wait ends), reception stopped, the threads'
  // last lines and the end line in the logbook, its files saved; from then on no thread reaches
  // the face. Runs once; later calls do nothing.
  void Exit();

  AppContext& app() { return env_->app; }
  PortStatusArray& status() { return env_->status; }
  Logbook& logbook() { return logbook_; }
  ReceptionControl& reception() { return reception_; }

 private:
  std::shared_ptr<ReceptionEnv> env_;
  Logbook logbook_;
  ReceptionControl reception_;
  // Guards the reception control between the main thread and the send threads that borrow ports.
  std::mutex receptionLock_;
  std::array<std::unique_ptr<TTxThread>, kPortCount + 1> senders_{};
  StartupOutcome outcome_ = StartupOutcome::Ended;
  bool exited_ = false;
};

}  // namespace quillon
