#include "send/tx_thread.h"

#include "common/format.h"
#include "common/texts.h"
#include "common/ui_sink.h"

namespace quillon {

TTxThread::TTxThread(std::shared_ptr<ReceptionEnv> env, int port, PortLender lender)
    : env_(std::move(env)), port_(port), lender_(std::move(lender)) {}

TTxThread::~TTxThread() {
  Cancel();
  if (lender_thread_.joinable()) lender_thread_.join();
}

bool TTxThread::Start(int protocol, const std::string& file) {
  if (running_.load()) return false;
  {
    std::lock_guard lock(lendMutex_);
    if (!giveBackDone_) return false;
  }
  Join();
  if (lender_thread_.joinable()) lender_thread_.join();
  cancel_ = std::make_unique<SendCancel>();
  blocks_ = 0;
  bytes_ = 0;
  percent_ = 0;
  result_ = kSendResultNone;
  progressPending_ = false;
  {
    std::lock_guard lock(mutex_);
    message_.clear();
  }
  running_ = true;
  thread_ = std::thread([this, protocol, file] { Execute(protocol, file); });
  return true;
}

void TTxThread::Cancel() {
  if (cancel_) cancel_->Cancel();
  // A borrow still waiting for the port stops waiting, and with it whatever it holds.
  if (cancel_ && lender_.hurry) lender_.hurry(port_);
  {
    // Taken so the send thread either sees the cancel or is already waiting for this wake-up.
    std::lock_guard lock(lendMutex_);
  }
  lendChanged_.notify_all();
  Join();
}

bool TTxThread::WaitIdle(int ms) {
  std::unique_lock lock(mutex_);
  return ended_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !running_.load(); });
}

void TTxThread::Join() {
  if (thread_.joinable()) thread_.join();
}

std::string TTxThread::Message() const {
  std::lock_guard lock(mutex_);
  return message_;
}

void TTxThread::Log(const std::string& line) {
  TMyThreads& st = env_->status[port_];
  {
    std::lock_guard lock(env_->app.GlobalApp.ListLock);
    st.LogLines.push_back(line);
    st.StatusText = line;
  }
  st.UpdatePending = true;
  env_->ui.PostPortUpdate(port_, false);
}

void TTxThread::PortState(int state) {
  TMyThreads& st = env_->status[port_];
  st.LedState = state;
  if (!st.LedPending.exchange(true)) env_->ui.PostPortLed(port_, state);
}

void TTxThread::Progress(int blocks, int bytes, int percent) {
  blocks_ = blocks;
  bytes_ = bytes;
  percent_ = percent;
  if (!progressPending_.exchange(true)) env_->ui.PostSendProgress(port_, 0);
}

TTxThread::Lending TTxThread::Borrow() {
  if (!lender_.borrow) return Lending::kLent;
  if (cancel_->Cancelled()) return Lending::kCancelled;  // nothing borrowed, nothing to give back
  std::unique_lock lock(lendMutex_);
  lendOver_ = false;
  lent_ = false;
  lendLeft_ = false;
  giveBackDone_ = false;
  lender_thread_ = std::thread([this] { Lend(); });
  lendChanged_.wait(lock, [this] { return lendOver_ || cancel_->Cancelled(); });
  if (lendOver_) return lent_ ? Lending::kLent : Lending::kRefused;
  lendLeft_ = true;
  return Lending::kCancelled;
}

void TTxThread::Lend() {
  const bool lent = lender_.borrow(port_, cancel_->Flag());
  bool giveBackHere = false;
  {
    std::lock_guard lock(lendMutex_);
    lendOver_ = true;
    lent_ = lent;
    giveBackHere = lendLeft_;
  }
  lendChanged_.notify_all();
  if (giveBackHere) GiveBack();
}

void TTxThread::GiveBack() {
  if (lender_.giveBack) lender_.giveBack(port_);
  std::lock_guard lock(lendMutex_);
  giveBackDone_ = true;
}

void TTxThread::Execute(int protocol, std::string file) {
  SendOutcome outcome;
  const Lending lending = Borrow();
  if (lending == Lending::kCancelled || cancel_->Cancelled()) {
    // Cancelled while the port was being freed (a borrow given up for it is no failure to
    // tell): the line is not touched.
    outcome.result = kSendResultFailed;
  } else if (lending == Lending::kRefused) {
    // Nothing was sent: said in the logbook and, as a failure, in a box.
    outcome.result = kSendResultFailed;
    outcome.message = Format(txt::kSendPortNotReleased, port_);
    Log(outcome.message);
    PortState(kLedError);
  } else {
    PortState(kLedReady);
    const SendHooks hooks{
        [this](const std::string& line) { Log(line); }, [this](int state) { PortState(state); },
        [this](int blocks, int bytes, int percent) { Progress(blocks, bytes, percent); }};
    // The settings as they are now (a port without a receive thread has just read them).
    const TQuillonOpt opt = env_->app.PortSettings[port_];
    outcome = RunSend(opt, protocol, file, hooks, *cancel_, &env_->shutdown);
    PortState(kLedClosed);
  }
  if (lending != Lending::kCancelled) GiveBack();
  {
    std::lock_guard lock(mutex_);
    message_ = outcome.message;
    result_ = outcome.result;
    running_ = false;
  }
  ended_.notify_all();
  progressPending_ = true;
  env_->ui.PostSendProgress(port_, -1);
  env_->ui.PostSendResult(port_, outcome.result);
}

}  // namespace quillon
