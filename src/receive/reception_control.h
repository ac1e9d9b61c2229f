#pragma once
// Starting and stopping reception for all active ports (main thread).
//
// Start creates one receive thread per active port; Stop asks all of them to end, waits up to
// 15 s for each, gives up a thread that does not end (it is detached and keeps its own object
// alive), deletes the temporary receive files and shows every port as closed.
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "receive/com_thread.h"

namespace quillon {

class ReceptionControl {
 public:
  // `logLine` adds a line to a port's logbook (main thread).
  ReceptionControl(ReceptionEnv& env, std::function<void(int port, const std::string&)> logLine);
  ~ReceptionControl();

  bool Receiving() const { return env_.app.GlobalApp.Receiving.load(); }
  void Start();
  void Stop();
  // One port, as a terminal command or the window may ask.
  bool StartPort(int port);
  void StopPort(int port);
  // Joins threads that ended by themselves (a terminal's "$v24close").
  void ReapFinished();
  // The send side borrows a port: true when it may use it now.
  bool RequestPause(int port);
  void ReleasePause(int port);
  bool HasThread(int port) const { return threads_[port] != nullptr; }

  // How long Stop waits for one thread.
  int stopTimeoutMs = 15000;

 private:
  std::string TempFileOf(int port) const;

  ReceptionEnv& env_;
  std::function<void(int, const std::string&)> logLine_;
  std::array<std::shared_ptr<TComThread>, kPortCount + 1> threads_{};
};

}  // namespace quillon
