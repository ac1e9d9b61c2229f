#pragma once
// Only one receiver runs per user: an exclusive flock on a lock file in $XDG_RUNTIME_DIR (or
// /tmp), and a local socket beside it through which a second start asks the first to bring its
// window to the front.
#include <string>

namespace quillon {

class SingleInstance {
 public:
  explicit SingleInstance(std::string name = "quillon");
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // Becomes the running instance; false when another one holds the lock.
  bool Acquire();
  // The listening socket (readable when a second start knocks), or -1.
  int raiseRequestFd() const { return listen_fd_; }
  // Accepts one waiting request; true when it asked to raise the window.
  bool TakeRaiseRequest();

  // Called by a second start: asks the running instance to raise its window.
  bool AskRunningInstanceToRaise() const;

  std::string lockPath() const;
  std::string socketPath() const;

 private:
  std::string name_;
  int lock_fd_ = -1;
  int listen_fd_ = -1;
};

}  // namespace quillon
