#pragma once
// The application's "shutting down" state, which ends every wait of the serial layer at once.
//
// Begin() may be called from any thread; waiters include fd() in their poll() and find it
// readable from then on.
#include <atomic>

namespace quillon {

class ShutdownState {
 public:
  ShutdownState();
  ~ShutdownState();
  ShutdownState(const ShutdownState&) = delete;
  ShutdownState& operator=(const ShutdownState&) = delete;

  void Begin();
  bool IsShuttingDown() const { return shutting_down_.load(std::memory_order_acquire); }
  int fd() const { return fd_; }

 private:
  std::atomic<bool> shutting_down_{false};
  int fd_ = -1;
};

// A one-shot wake-up flag: Set() makes fd() readable until Clear(). Used for a port's abort
// request.
class WakeFlag {
 public:
  WakeFlag();
  ~WakeFlag();
  WakeFlag(const WakeFlag&) = delete;
  WakeFlag& operator=(const WakeFlag&) = delete;

  void Set();
  void Clear();
  bool IsSet() const { return set_.load(std::memory_order_acquire); }
  int fd() const { return fd_; }

 private:
  std::atomic<bool> set_{false};
  int fd_ = -1;
};

}  // namespace quillon
