#pragma once
// TTxThread: sends one file to a terminal in the background, one send at a time per port. It
// borrows the port from the port's receive thread (which closes it and waits), runs the send
// operation, gives the port back and tells the user through the UI sink: the send's progress
// and final result (to the send dialog), the port's LED and its logbook lines.
//
// The progress values, the result and the failure text are shared with the main thread, which
// reads them when it handles the posted messages. A progress message is posted only while none
// is pending; the main thread clears the flag with ProgressTaken().
//
// Main thread: Start, Cancel, Reap and the readers. The send itself runs on its own std::thread.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "receive/reception_env.h"
#include "send/send_operation.h"

namespace quillon {

// How a send gets its port. Both are called on the send thread. `borrow` waits (bounded) for
// the port's receive thread to give the port up and says whether it did; `giveBack` follows
// every borrow, also a refused one.
struct PortLender {
  std::function<bool(int port)> borrow;
  std::function<void(int port)> giveBack;
};

class TTxThread {
 public:
  TTxThread(std::shared_ptr<ReceptionEnv> env, int port, PortLender lender);
  // Ends a running send (cancelled) and waits for it.
  ~TTxThread();
  TTxThread(const TTxThread&) = delete;
  TTxThread& operator=(const TTxThread&) = delete;

  // Starts sending `file` with `protocol`; false while the previous send still runs.
  bool Start(int protocol, const std::string& file);
  bool Running() const { return running_.load(); }
  // Ends the running send through its protocol's own cancel and waits for the thread's end.
  void Cancel();
  // Waits up to `ms` for the running send to end; true when none runs any more.
  bool WaitIdle(int ms);

  int Port() const { return port_; }
  int Blocks() const { return blocks_.load(); }
  int Bytes() const { return bytes_.load(); }
  int Percent() const { return percent_.load(); }
  int Result() const { return result_.load(); }
  std::string Message() const;
  // The main thread has shown the last progress message; the next one may be posted.
  void ProgressTaken() { progressPending_ = false; }

 private:
  void Execute(int protocol, std::string file);
  void Log(const std::string& line);
  void PortState(int state);
  void Progress(int blocks, int bytes, int percent);
  void Join();

  std::shared_ptr<ReceptionEnv> env_;
  const int port_;
  PortLender lender_;
  std::unique_ptr<SendCancel> cancel_;
  std::atomic<bool> running_{false};
  std::atomic<int> blocks_{0};
  std::atomic<int> bytes_{0};
  std::atomic<int> percent_{0};
  std::atomic<int> result_{kSendResultNone};
  std::atomic<bool> progressPending_{false};
  mutable std::mutex mutex_;
  std::string message_;  // mutex_
  std::condition_variable ended_;
  std::thread thread_;
};

}  // namespace quillon
