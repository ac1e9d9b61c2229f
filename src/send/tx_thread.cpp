#include "send/tx_thread.h"

#include "common/format.h"
#include "common/texts.h"
#include "common/ui_sink.h"

namespace quillon {

TTxThread::TTxThread(std::shared_ptr<ReceptionEnv> env, int port, PortLender lender)
    : env_(std::move(env)), port_(port), lender_(std::move(lender)) {}

TTxThread::~TTxThread() { Cancel(); }

bool TTxThread::Start(int protocol, const std::string& file) {
  if (running_.load()) return false;
  Join();
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

void TTxThread::Execute(int protocol, std::string file) {
  SendOutcome outcome;
  if (!lender_.borrow || lender_.borrow(port_)) {
    if (cancel_->Cancelled()) {
      // Cancelled while the port was being freed: the line is not touched.
      outcome.result = kSendResultFailed;
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
  } else {
    // Nothing was sent: said in the logbook and, as a failure, in a box.
    outcome.result = kSendResultFailed;
    outcome.message = Format(txt::kSendPortNotReleased, port_);
    Log(outcome.message);
    PortState(kLedError);
  }
  if (lender_.giveBack) lender_.giveBack(port_);
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
