#include "receive/reception_control.h"

#include <unistd.h>

#include "common/texts.h"
#include "common/ui_sink.h"
#include "config/settings_store.h"

namespace quillon {

namespace {

// A forwarding report on a port's status line and logbook, when the port's level allows it.
void ReportForwarding(ReceptionEnv& env, int port, const std::string& text, int level) {
  if (port < 1 || port > kPortCount || env.app.PortSettings[port].LogLevel < level) return;
  TMyThreads& st = env.status[port];
  if (!text.empty()) {
    std::lock_guard lock(env.app.GlobalApp.ListLock);
    st.StatusText = text;
    st.LogLines.push_back(text);
  }
  if (!st.UpdatePending.exchange(true)) env.ui.PostPortUpdate(port, text.empty());
}

}  // namespace

ReceptionControl::ReceptionControl(std::shared_ptr<ReceptionEnv> env,
                                   std::function<void(int, const std::string&)> logLine)
    : env_(std::move(env)), logLine_(std::move(logLine)) {
  ReceptionEnv* shared = env_.get();
  if (!env_->forwarding) {
    env_->forwarding = std::make_unique<net::Forwarding>(
        [shared] { return net::JobFileFor(shared->app.AppInfo.IniPath); },
        [shared](int port, const std::string& text, int level) {
          ReportForwarding(*shared, port, text, level);
        },
        [shared](const std::string& text) { shared->ui.ShowMessage(MessageKind::Warning, text); });
  }
  if (!env_->forward) {
    env_->forward = [shared](int port, const std::string& file) {
      shared->forwarding->ForwardStoredFile(port, shared->app.PortSettings[port], file);
    };
  }
}

ReceptionControl::~ReceptionControl() {
  if (Receiving()) Stop();
}

std::string ReceptionControl::TempFileOf(int port) const {
  return env_->app.AppInfo.ProgramDir + "rxtmp" + std::to_string(port) + ".dat";
}

void ReceptionControl::Start() {
  // Running before the first file can be stored.
  env_->forwarding->StartForwarding(env_->app.PortSettings);
  env_->app.GlobalApp.Receiving = true;
  for (int port = 1; port <= kPortCount; ++port) {
    if (env_->app.GlobalApp.PortActive[port]) StartPort(port);
  }
}

bool ReceptionControl::StartPort(int port) {
  if (port < 1 || port > kPortCount || threads_[port] || !env_->app.GlobalApp.PortActive[port]) {
    return false;
  }
  if (givenUp_[port]) {
    // Its line and temporary file may still be in use by the old thread.
    if (!givenUp_[port]->HasEnded()) return false;
    givenUp_[port].reset();
  }
  // A transfer cut off by a crash left its temporary file; it was never acknowledged, so the
  // terminal sends it again.
  unlink(TempFileOf(port).c_str());
  auto thread = std::make_shared<TComThread>(env_, port);
  thread->Start();
  threads_[port] = std::move(thread);
  return true;
}

void ReceptionControl::StopPort(int port) {
  auto thread = std::move(threads_[port]);
  if (!thread) return;
  thread->RequestStop();
  if (thread->WaitUntilEnded(stopTimeoutMs)) {
    thread->thread().join();
  } else {
    // Given up: the thread holds its own object and ends whenever its wait does.
    thread->thread().detach();
    givenUp_[port] = std::move(thread);
    logLine_(port, txt::kThreadStopFailed);
  }
}

void ReceptionControl::Stop() {
  // A running upload ends at once; its job stays queued for the next start.
  env_->forwarding->StopForwarding();
  for (auto& thread : threads_) {
    if (thread) thread->RequestStop();
  }
  for (int port = 1; port <= kPortCount; ++port) {
    StopPort(port);
    // A thread still running keeps its temporary file.
    if (!givenUp_[port] || givenUp_[port]->HasEnded()) unlink(TempFileOf(port).c_str());
  }
  for (int port = 1; port <= kPortCount; ++port) {
    env_->status[port].LedPending = true;
    env_->status[port].LedState = kLedClosed;
    env_->ui.PostPortLed(port, kLedClosed);
  }
  env_->app.GlobalApp.Receiving = false;
}

void ReceptionControl::ReapFinished() {
  for (int port = 1; port <= kPortCount; ++port) {
    if (threads_[port] && threads_[port]->HasEnded()) {
      threads_[port]->thread().join();
      threads_[port].reset();
    }
    if (givenUp_[port] && givenUp_[port]->HasEnded()) givenUp_[port].reset();
  }
}

bool ReceptionControl::RequestPause(int port, const std::atomic<bool>* giveUp) {
  if (!threads_[port]) {
    SettingsStore store(env_->app, env_->ui);
    store.LoadPortSettings(SettingsSlot::Live, port);
    return true;
  }
  return threads_[port]->RequestPause(giveUp);
}

void ReceptionControl::WakePauseWait(int port) {
  // Threads come and go only on the main thread, so the one a borrow waits for is still there.
  if (threads_[port]) threads_[port]->WakePauseWait();
}

void ReceptionControl::ReleasePause(int port) {
  if (threads_[port]) threads_[port]->ReleasePause();
}

}  // namespace quillon
