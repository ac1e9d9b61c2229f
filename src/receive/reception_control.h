#pragma once
// Starting and stopping reception for all active ports (main thread).
//
// Start creates one receive thread per active port; Stop asks all of them to end, waits up to
// 15 s for each, gives up a thread that does not end (it is detached and keeps its own object
// and the shared environment alive), deletes the temporary receive files and shows every port
// as closed. A port whose given-up thread still runs gets no new thread until that one has
// ended, so two threads never serve one port.
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "receive/com_thread.h"
#include "receive/reception_env.h"

namespace quillon {

class ReceptionControl {
 public:
  // `logLine` adds a line to a port's logbook (main thread).
  ReceptionControl(std::shared_ptr<ReceptionEnv> env,
                   std::function<void(int port, const std::string&)> logLine);
  ~ReceptionControl();

  bool Receiving() const { return env_->app.GlobalApp.Receiving.load(); }
  void Start();
  void Stop();
  // One port, as a terminal command or the window may ask. False when the port is not active,
  // already has a thread, or its given-up thread has not ended yet.
  bool StartPort(int port);
  void StopPort(int port);
  // Joins threads that ended by themselves (a terminal's "$v24close").
  void ReapFinished();
  // The send side borrows a port: true when it may use it now. A borrow given up through
  // `giveUp` and WakePauseWait (main thread) returns false at once.
  bool RequestPause(int port, const std::atomic<bool>* giveUp = nullptr);
  void WakePauseWait(int port);
  void ReleasePause(int port);
  bool HasThread(int port) const { return threads_[port] != nullptr; }

  // How long Stop waits for one thread.
  int stopTimeoutMs = 15000;

 private:
  std::string TempFileOf(int port) const;

  std::shared_ptr<ReceptionEnv> env_;
  std::function<void(int, const std::string&)> logLine_;
  std::array<std::shared_ptr<TComThread>, kPortCount + 1> threads_{};
  // Threads given up after the stop time-out, until they have ended.
  std::array<std::shared_ptr<TComThread>, kPortCount + 1> givenUp_{};
};

}  // namespace quillon
