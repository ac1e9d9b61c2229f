#pragma once
// The main thread's event loop for running without windows: tasks posted from any thread,
// timers, readable descriptors and the termination signals, all waited for in one poll().
//
// Thread safety: Post() and Quit() may be called from any thread; everything else only from
// the thread that calls Run().
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace quillon {

class MainLoop {
 public:
  MainLoop();
  ~MainLoop();
  MainLoop(const MainLoop&) = delete;
  MainLoop& operator=(const MainLoop&) = delete;

  void Post(std::function<void()> task);
  // Calls `fn` every `intervalMs` (once when !repeat). Returns an id for CancelTimer.
  int AddTimer(int intervalMs, bool repeat, std::function<void()> fn);
  void CancelTimer(int id);
  void WatchReadable(int fd, std::function<void()> onReadable);
  // SIGTERM and SIGINT call `fn` on the loop's thread. Blocks those signals for the calling
  // thread and every thread it starts afterwards, so call it before starting threads.
  void OnTerminationSignal(std::function<void()> fn);

  // Runs until Quit(); returns the code given to Quit().
  int Run();
  void Quit(int code);

 private:
  struct Timer {
    int64_t due = 0;
    int interval = 0;
    bool repeat = false;
    std::function<void()> fn;
  };
  void Wake();
  void RunPostedTasks();
  void RunDueTimers();
  int MillisecondsToNextTimer() const;

  int wake_fd_ = -1;
  int signal_fd_ = -1;
  std::function<void()> on_signal_;
  std::map<int, Timer> timers_;
  int next_timer_id_ = 1;
  std::vector<std::pair<int, std::function<void()>>> watches_;
  std::mutex mutex_;  // guards tasks_, quit_, exit_code_
  std::vector<std::function<void()>> tasks_;
  bool quit_ = false;
  int exit_code_ = 0;
};

// Milliseconds of CLOCK_MONOTONIC.
int64_t MonotonicMs();

}  // namespace quillon
