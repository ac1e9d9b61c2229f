#include "shell/headless_app.h"

#include <cstdio>
#include <mutex>

#include "common/format.h"
#include "common/main_loop.h"
#include "common/single_instance.h"
#include "common/texts.h"
#include "config/settings_types.h"
#include "receive/logbook_line.h"
#include "shell/headless_sink.h"
#include "shell/init_paths.h"
#include "shell/startup.h"

namespace quillon {
namespace {

constexpr int kFirstTickMs = 500;

class HeadlessApp {
 public:
  HeadlessApp()
      : sink_(loop_, HeadlessHandlers{
                         .portUpdate = {},
                         .portLed = {},
                         .sendFile = [this](int port) { SendStartFile(port); },
                         .sendProgress = {},
                         .sendResult = {},
                     }) {}

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

    WriteToAllLogbooks(txt::kLogStarting);
    if (app_.AppInfo.UsedFallbackDir) {
      WriteToAllLogbooks(Format(txt::kProgramDirFallback, app_.AppInfo.ExePath,
                                app_.AppInfo.ProgramDir));
    }
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
  }

  void SendStartFile(int port) {
    TQuillonOpt& opt = app_.PortSettings[port];
    if (opt.StartSendFile.empty()) return;
    opt.StartSendFile.clear();
    opt.StartSendMode = 0;
  }

  void Exit() { WriteToAllLogbooks(txt::kLogEnding); }

  void WriteToAllLogbooks(const std::string& text) {
    std::lock_guard lock(app_.GlobalApp.ListLock);
    for (int port = 1; port <= kPortCount; ++port) {
      if (!app_.GlobalApp.PortActive[port]) continue;
      std::fputs((FormatLogbookLine(port, text) + "\n").c_str(), stdout);
    }
    std::fflush(stdout);
  }

  MainLoop loop_;
  HeadlessSink sink_;
  SingleInstance instance_;
  AppContext app_;
};

}  // namespace

int RunHeadless(const std::string& exePath, const std::vector<std::string>& args) {
  HeadlessApp app;
  return app.Run(exePath, args);
}

}  // namespace quillon
