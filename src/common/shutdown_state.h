#pragma once
// The application's "shutting down" state, which ends every wait of the serial layer at once.
//
// Begin() may be called from any thread; waiters include fd() in their poll() and find it
// readable from then on. Threads that wait on a condition variable register a waker, which
// Begin() calls once, so those waits end at once too.
#include <atomic>
#include <functional>
#include <map>
#include <mutex>

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

  // `wake` is called by Begin() (at once when the shutdown has already begun). Returns the key
  // for RemoveWaker, which must come before whatever `wake` touches goes away.
  int AddWaker(std::function<void()> wake) const;
  void RemoveWaker(int key) const;

 private:
  std::atomic<bool> shutting_down_{false};
  int fd_ = -1;
  mutable std::mutex wakers_mutex_;
  mutable std::map<int, std::function<void()>> wakers_;
  mutable int next_key_ = 1;
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
