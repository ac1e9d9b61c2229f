#include "shell/receiver.h"

namespace quillon {

Receiver::Receiver(UiSink& face)
    : env_(std::make_shared<ReceptionEnv>(face)),
      logbook_(env_->app, env_->status, face),
      reception_(env_, [this](int port, const std::string& text) {
        logbook_.AddLine(port, text);
      }) {}

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

void Receiver::SendStartFile(int port) {
  if (port < 1 || port > kPortCount) return;
  // The send operation comes with sending; the start file is used up either way.
  TQuillonOpt& opt = env_->app.PortSettings[port];
  opt.StartSendFile.clear();
  opt.StartSendMode = 0;
}

void Receiver::TakeOverUpdates() {
  logbook_.TakeOver(0, false, false);
  reception_.ReapFinished();
}

void Receiver::Exit() {
  if (exited_) return;
  exited_ = true;
  env_->shutdown.Begin();
  if (reception_.Receiving()) reception_.Stop();
  if (outcome_ != StartupOutcome::Ended) logbook_.CloseForExit();
  env_->ui.Detach();
}

}  // namespace quillon
