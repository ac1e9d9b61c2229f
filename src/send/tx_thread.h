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
// Main thread: Start, Cancel, Reap and the readers. The send itself runs on its own std::thread,
// the borrow of its port on another.
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

// How a send gets its port. `borrow` waits (bounded) for the port's receive thread to give the
// port up and says whether it did; it gives up early once `cancelled` is set and `hurry` has
// been called. `giveBack` follows every borrow, also a refused one. `borrow` runs on a thread of
// its own, so that a cancel need not wait for it; `giveBack` runs on the send thread, or on the
// borrow's thread once the borrow is over when the send was cancelled during it; `hurry` runs on
// the thread that cancels, at any time.
struct PortLender {
  std::function<bool(int port, const std::atomic<bool>& cancelled)> borrow;
  std::function<void(int port)> giveBack;
  std::function<void(int port)> hurry;
};

class TTxThread {
 public:
  TTxThread(std::shared_ptr<ReceptionEnv> env, int port, PortLender lender);
  // Ends a running send (cancelled) and waits for it and for its port to be back.
  ~TTxThread();
  TTxThread(const TTxThread&) = delete;
  TTxThread& operator=(const TTxThread&) = delete;

  // Starts sending `file` with `protocol`; false while the previous send still runs or its
  // port is still on its way back after a cancel.
  bool Start(int protocol, const std::string& file);
  bool Running() const { return running_.load(); }
  // Ends the running send through its protocol's own cancel and waits for the thread's end,
  // which comes at once also while the port is being freed.
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
  enum class Lending { kLent, kRefused, kCancelled };
  // Borrows the port on the lending thread and waits for its answer or a cancel. After kCancelled
  // the port is not the send's to give back: the lending thread does that once its borrow ends.
  Lending Borrow();
  void Lend();
  void GiveBack();
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

  // The borrow of the current send. lendMutex_ guards the flags; lendChanged_ wakes the send
  // thread when the borrow ends or the send is cancelled.
  std::mutex lendMutex_;
  std::condition_variable lendChanged_;
  bool lendOver_ = false;     // lendMutex_; the borrow has returned
  bool lent_ = false;         // lendMutex_; its answer
  bool lendLeft_ = false;     // lendMutex_; the send no longer waits: the lender gives back
  bool giveBackDone_ = true;  // lendMutex_; the port is back (or was never borrowed)
  std::thread lender_thread_;
};

}  // namespace quillon
