#include "shell/receiver.h"

#include "common/ui_sink.h"

namespace quillon {

namespace {
// How long a stop of reception waits for a running send before it cancels it.
constexpr int kSendEndWaitMs = 15000;
}  // namespace

Receiver::Receiver(UiSink& face)
    : env_(std::make_shared<ReceptionEnv>(face)),
      logbook_(env_->app, env_->status, face),
      reception_(env_,
                 [this](int port, const std::string& text) { logbook_.AddLine(port, text); }) {}

Receiver::~Receiver() { Exit(); }

StartupOutcome Receiver::Start(const StartupOptions& options, PortButtonLayout& layout) {
  outcome_ = RunStartup(env_->app, env_->ui, options, layout);
  if (outcome_ == StartupOutcome::Ended) return outcome_;
  logbook_.Load();
  logbook_.AddStartLines();
  return outcome_;
}

void Receiver::PostStartFiles() {
  for (int port = 1; port <= kPortCount; ++port) env_->ui.PostSendFile(port);
}

TTxThread& Receiver::Sender(int port) {
  std::unique_ptr<TTxThread>& sender = senders_[port];
  if (!sender) {
    // The send thread borrows the port under the same lock the main thread takes for starting
    // and stopping reception, so the receive thread it pauses cannot go away meanwhile.
    // A cancel ends the borrow's wait, so the lock is not held on for the port's full wait.
    PortLender lender{[this](int p, const std::atomic<bool>& cancelled) {
                        std::lock_guard lock(receptionLock_);
                        return reception_.RequestPause(p, &cancelled);
                      },
                      [this](int p) {
                        std::lock_guard lock(receptionLock_);
                        reception_.ReleasePause(p);
                      },
                      [this](int p) { reception_.WakePauseWait(p); }};
    sender = std::make_unique<TTxThread>(env_, port, std::move(lender));
  }
  return *sender;
}

void Receiver::SendStartFile(int port) {
  if (port < 1 || port > kPortCount) return;
  TQuillonOpt& opt = env_->app.PortSettings[port];
  const std::string file = opt.StartSendFile;
  const int mode = opt.StartSendMode;
  // Used up either way.
  opt.StartSendFile.clear();
  opt.StartSendMode = 0;
  if (file.empty() || exited_) return;
  (void)Sender(port).Start(mode == 0 ? kSendStandard : mode, file);  // false: one runs already
}

void Receiver::ShowSendFailure(int port) {
  if (port < 1 || port > kPortCount || !senders_[port]) return;
  const TTxThread& sender = *senders_[port];
  if (sender.Result() == kSendResultFailed)
    env_->ui.ShowMessage(MessageKind::Error, sender.Message());
}

void Receiver::StartReception() {
  std::lock_guard lock(receptionLock_);
  reception_.Start();
}

void Receiver::EndSends() {
  for (auto& sender : senders_) {
    if (sender && !sender->WaitIdle(kSendEndWaitMs)) sender->Cancel();
  }
}

void Receiver::StopReception() {
  EndSends();
  std::lock_guard lock(receptionLock_);
  reception_.Stop();
}

void Receiver::TakeOverUpdates() {
  logbook_.TakeOver(0, false, false);
  // A send thread borrowing a port holds the lock for a while: the reaping waits for later.
  std::unique_lock lock(receptionLock_, std::try_to_lock);
  if (lock.owns_lock()) reception_.ReapFinished();
}

void Receiver::Exit() {
  if (exited_) return;
  exited_ = true;
  env_->shutdown.Begin();
  // Every send ends at its next wait; its port goes back before reception stops.
  for (auto& sender : senders_) {
    if (sender) sender->Cancel();
  }
  if (reception_.Receiving()) StopReception();
  if (outcome_ != StartupOutcome::Ended) logbook_.CloseForExit();
  env_->ui.Detach();
}

}  // namespace quillon
