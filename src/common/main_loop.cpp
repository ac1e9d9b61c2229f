#include "common/main_loop.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace quillon {

int64_t MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

MainLoop::MainLoop() { wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); }

MainLoop::~MainLoop() {
  if (wake_fd_ >= 0) close(wake_fd_);
  if (signal_fd_ >= 0) close(signal_fd_);
}

void MainLoop::Wake() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(wake_fd_, &one, sizeof one);
}

void MainLoop::Post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  Wake();
}

int MainLoop::AddTimer(int intervalMs, bool repeat, std::function<void()> fn) {
  const int id = next_timer_id_++;
  timers_[id] = Timer{MonotonicMs() + intervalMs, intervalMs, repeat, std::move(fn)};
  return id;
}

void MainLoop::CancelTimer(int id) { timers_.erase(id); }

void MainLoop::WatchReadable(int fd, std::function<void()> onReadable) {
  if (fd >= 0) watches_.emplace_back(fd, std::move(onReadable));
}

void MainLoop::OnTerminationSignal(std::function<void()> fn) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  if (signal_fd_ < 0) signal_fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
  on_signal_ = std::move(fn);
}

void MainLoop::Quit(int code) {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    exit_code_ = code;
  }
  Wake();
}

void MainLoop::RunPostedTasks() {
  std::vector<std::function<void()>> tasks;
  {
    std::lock_guard lock(mutex_);
    tasks.swap(tasks_);
  }
  for (auto& task : tasks) task();
}

void MainLoop::RunDueTimers() {
  const int64_t now = MonotonicMs();
  std::vector<int> due;
  for (const auto& [id, timer] : timers_) {
    if (timer.due <= now) due.push_back(id);
  }
  for (int id : due) {
    auto it = timers_.find(id);
    if (it == timers_.end()) continue;  // cancelled by an earlier timer of this round
    auto fn = it->second.fn;
    if (it->second.repeat) {
      it->second.due = now + it->second.interval;
    } else {
      timers_.erase(it);
    }
    fn();
  }
}

int MainLoop::MillisecondsToNextTimer() const {
  if (timers_.empty()) return -1;
  int64_t next = INT64_MAX;
  for (const auto& [id, timer] : timers_) next = std::min(next, timer.due);
  return static_cast<int>(std::clamp<int64_t>(next - MonotonicMs(), 0, INT_MAX));
}

int MainLoop::Run() {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (quit_) return exit_code_;
    }
    std::vector<pollfd> fds;
    fds.push_back({wake_fd_, POLLIN, 0});
    if (signal_fd_ >= 0) fds.push_back({signal_fd_, POLLIN, 0});
    const size_t firstWatch = fds.size();
    for (const auto& watch : watches_) fds.push_back({watch.first, POLLIN, 0});

    const int n = poll(fds.data(), fds.size(), MillisecondsToNextTimer());
    if (n < 0 && errno != EINTR) return 1;
    if (fds[0].revents & POLLIN) {
      uint64_t count = 0;
      [[maybe_unused]] const ssize_t r = read(wake_fd_, &count, sizeof count);
    }
    if (signal_fd_ >= 0 && (fds[1].revents & POLLIN)) {
      signalfd_siginfo info{};
      while (read(signal_fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (on_signal_) on_signal_();
      }
    }
    for (size_t i = firstWatch; i < fds.size(); ++i) {
      if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) watches_[i - firstWatch].second();
    }
    RunPostedTasks();
    RunDueTimers();
  }
}

}  // namespace quillon
