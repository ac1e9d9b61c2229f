#pragma once
// The user's request to stop a transfer: a flag the transfer looks at, and a descriptor that
// becomes readable as soon as the flag is set, so that every wait of the transfer (a read on
// the line, a pause) can block on it and end at once.
#include <atomic>

namespace sollex {

class CancelFlag {
 public:
  CancelFlag();
  ~CancelFlag();
  CancelFlag(const CancelFlag&) = delete;
  CancelFlag& operator=(const CancelFlag&) = delete;

  void Set();
  bool IsSet() const { return set_.load(); }
  // Readable once Set() was called; -1 when no pipe could be made (waits then run their time).
  int WakeFd() const { return pipe_[0]; }

 private:
  std::atomic<bool> set_{false};
  int pipe_[2] = {-1, -1};
};

// Waits up to `ms` milliseconds; true when `cancel` is set (at once or during the wait).
bool PauseUnlessCancelled(const CancelFlag* cancel, int ms);

}  // namespace sollex
