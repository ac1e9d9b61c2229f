#include "cancel_flag.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace sollex {

CancelFlag::CancelFlag() {
  if (::pipe(pipe_) != 0) {
    pipe_[0] = pipe_[1] = -1;
    return;
  }
  for (const int fd : pipe_) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
}

CancelFlag::~CancelFlag() {
  for (const int fd : pipe_) {
    if (fd >= 0) ::close(fd);
  }
}

void CancelFlag::Set() {
  if (set_.exchange(true) || pipe_[1] < 0) return;
  // One byte is enough: nobody reads it, the read end simply stays readable.
  const char byte = 1;
  while (::write(pipe_[1], &byte, 1) < 0 && errno == EINTR) {
  }
}

bool PauseUnlessCancelled(const CancelFlag* cancel, int ms) {
  if (cancel == nullptr || cancel->WakeFd() < 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return cancel != nullptr && cancel->IsSet();
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!cancel->IsSet()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          end - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) return false;
    pollfd p{cancel->WakeFd(), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) {
      std::this_thread::sleep_for(std::chrono::milliseconds(left));
      return cancel->IsSet();
    }
  }
  return true;
}

}  // namespace sollex
