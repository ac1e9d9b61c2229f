#include "common/shutdown_state.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace quillon {
namespace {

void Signal(int fd) {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(fd, &one, sizeof one);
}

}  // namespace

ShutdownState::ShutdownState() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
ShutdownState::~ShutdownState() {
  if (fd_ >= 0) close(fd_);
}

void ShutdownState::Begin() {
  if (shutting_down_.exchange(true, std::memory_order_acq_rel)) return;
  Signal(fd_);
  std::lock_guard lock(wakers_mutex_);
  for (auto& [key, wake] : wakers_) wake();
}

int ShutdownState::AddWaker(std::function<void()> wake) const {
  std::lock_guard lock(wakers_mutex_);
  const int key = next_key_++;
  if (IsShuttingDown()) wake();
  wakers_.emplace(key, std::move(wake));
  return key;
}

void ShutdownState::RemoveWaker(int key) const {
  std::lock_guard lock(wakers_mutex_);
  wakers_.erase(key);
}

WakeFlag::WakeFlag() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
WakeFlag::~WakeFlag() {
  if (fd_ >= 0) close(fd_);
}

void WakeFlag::Set() {
  if (!set_.exchange(true, std::memory_order_acq_rel)) Signal(fd_);
}

void WakeFlag::Clear() {
  if (set_.exchange(false, std::memory_order_acq_rel)) {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = read(fd_, &count, sizeof count);
  }
}

}  // namespace quillon
