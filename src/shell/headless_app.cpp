#include "shell/headless_app.h"

#include <cstdio>
#include <memory>

#include "common/main_loop.h"
#include "common/single_instance.h"
#include "common/texts.h"
#include "shell/headless_sink.h"
#include "shell/init_paths.h"
#include "shell/receiver.h"

namespace quillon {
namespace {

constexpr int kFirstTickMs = 500;
constexpr int kMergeMs = 20;

class HeadlessApp {
 public:
  HeadlessApp()
      : sink_(loop_, HeadlessHandlers{
                         .portUpdate = [this](int, bool) { ScheduleFlush(); },
                         .portLed = [this](int, int) { ScheduleFlush(); },
                         .sendFile = [this](int port) { receiver_.SendStartFile(port); },
                         .sendProgress =
                             [this](int port, int value) {
                               if (value != -1) receiver_.Sender(port).ProgressTaken();
                             },
                         .sendResult = [this](int port, int) { receiver_.ShowSendFailure(port); },
                     }),
        receiver_(sink_) {
    receiver_.logbook().echo = [](const std::string& line) {
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
    if (receiver_.Start({exePath, args, HomeDirectory()}, layout) == StartupOutcome::Ended) {
      return 1;
    }
    if (layout.ButtonPorts.empty()) {
      // Nobody can open the settings here, so the program ends as it does after an
      // unsuccessful setup dialog.
      sink_.ShowMessage(MessageKind::Information, txt::kNoPortActive);
      sink_.ShowMessage(MessageKind::Error, txt::kEndingNoPortActive);
      receiver_.Exit();
      return 1;
    }

    loop_.AddTimer(kFirstTickMs, false, [this] { FirstTick(); });
    const int code = loop_.Run();
    receiver_.Exit();
    return code;
  }

 private:
  void FirstTick() {
    // After a command-line error the start files are not sent (as with the window's first
    // tick); reception starts anyway, since without windows nobody could start it by hand.
    if (receiver_.StartedCleanly()) receiver_.PostStartFiles();
    receiver_.StartReception();
  }

  // Updates of busy ports are merged: the first one schedules a flush a moment later, and
  // until then the pending flags keep the ports from posting more.
  void ScheduleFlush() {
    if (flushScheduled_) return;
    flushScheduled_ = true;
    loop_.AddTimer(kMergeMs, false, [this] { Flush(); });
  }

  void Flush() {
    flushScheduled_ = false;
    for (int port = 1; port <= kPortCount; ++port) {
      receiver_.status()[port].UpdatePending = false;
      receiver_.status()[port].LedPending = false;
    }
    receiver_.TakeOverUpdates();
  }

  MainLoop loop_;
  HeadlessSink sink_;
  SingleInstance instance_;
  Receiver receiver_;
  bool flushScheduled_ = false;
};

}  // namespace

int RunHeadless(const std::string& exePath, const std::vector<std::string>& args) {
  auto app = std::make_unique<HeadlessApp>();
  return app->Run(exePath, args);
}

}  // namespace quillon
