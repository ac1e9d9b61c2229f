#include "shell/headless_app.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "common/format.h"
#include "common/main_loop.h"
#include "common/shutdown_state.h"
#include "common/single_instance.h"
#include "common/texts.h"
#include "config/settings_types.h"
#include "receive/logbook.h"
#include "receive/my_threads.h"
#include "receive/reception_control.h"
#include "shell/headless_sink.h"
#include "shell/init_paths.h"
#include "shell/startup.h"

namespace quillon {
namespace {

constexpr int kFirstTickMs = 500;
constexpr int kMergeMs = 20;

class HeadlessApp {
 public:
  HeadlessApp()
      : sink_(loop_,
              HeadlessHandlers{
                  .portUpdate = [this](int port, bool) { OnPortUpdate(port); },
                  .portLed = [this](int port, int) { OnPortLed(port); },
                  .sendFile = [this](int port) { SendStartFile(port); },
                  .sendProgress = {},
                  .sendResult = {},
              }),
        logbook_(app_, status_, sink_),
        env_{app_, status_, sink_, shutdown_, {}},
        reception_(env_, [this](int port, const std::string& text) {
          logbook_.AddLine(port, text);
        }) {
    logbook_.echo = [](const std::string& line) {
      std::fputs((line + "\n").c_str(), stdout);
      std::fflush(stdout);
    };
  }

  int Run(const std::string& exePath, const std::vector<std::string>& args) {
    // Signals are routed to the loop before any thread exists, so every thread inherits the
    // blocked mask and only the loop sees them.
    loop_.OnTerminationSignal([this] { loop_.Quit(0); });

    if (!instance_.Acquire()) {
      instance_.AskRunningInstanceToRaise();
      return 255;
    }
    loop_.WatchReadable(instance_.raiseRequestFd(), [this] {
      if (instance_.TakeRaiseRequest()) {
        sink_.ShowMessage(MessageKind::Information, txt::kHeadlessRaiseRequest);
      }
    });

    PortButtonLayout layout;
    if (!RunStartup(app_, sink_, {exePath, args, HomeDirectory()}, layout)) return 1;
    logbook_.Load();

    logbook_.AddStartLines();
    if (layout.ButtonPorts.empty()) {
      // Nobody can open the settings here, so the program ends as it does after an
      // unsuccessful setup dialog.
      sink_.ShowMessage(MessageKind::Information, txt::kNoPortActive);
      sink_.ShowMessage(MessageKind::Error, txt::kEndingNoPortActive);
      return 1;
    }

    loop_.AddTimer(kFirstTickMs, false, [this] { FirstTick(); });
    const int code = loop_.Run();
    Exit();
    return code;
  }

 private:
  void FirstTick() {
    for (int port = 1; port <= kPortCount; ++port) sink_.PostSendFile(port);
    // Without windows nobody starts reception by hand: it starts on all active ports.
    reception_.Start();
  }

  // Updates of busy ports are merged: the first one schedules a flush a moment later, and
  // until then the pending flags keep the ports from posting more.
  void OnPortUpdate(int) { ScheduleFlush(); }
  void OnPortLed(int) { ScheduleFlush(); }

  void ScheduleFlush() {
    if (flushScheduled_) return;
    flushScheduled_ = true;
    loop_.AddTimer(kMergeMs, false, [this] { Flush(); });
  }

  void Flush() {
    flushScheduled_ = false;
    for (int port = 1; port <= kPortCount; ++port) {
      status_[port].UpdatePending = false;
      status_[port].LedPending = false;
    }
    logbook_.TakeOver(0, false, false);
    reception_.ReapFinished();
  }

  void SendStartFile(int port) {
    TQuillonOpt& opt = app_.PortSettings[port];
    if (opt.StartSendFile.empty()) return;
    opt.StartSendFile.clear();
    opt.StartSendMode = 0;
  }

  void Exit() {
    reception_.Stop();
    logbook_.CloseForExit();
  }

  MainLoop loop_;
  HeadlessSink sink_;
  SingleInstance instance_;
  AppContext app_;
  PortStatusArray status_;
  ShutdownState shutdown_;
  Logbook logbook_;
  ReceptionEnv env_;
  ReceptionControl reception_;
  bool flushScheduled_ = false;
};

}  // namespace

int RunHeadless(const std::string& exePath, const std::vector<std::string>& args) {
  auto app = std::make_unique<HeadlessApp>();
  return app->Run(exePath, args);
}

}  // namespace quillon
