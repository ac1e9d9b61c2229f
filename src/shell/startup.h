#pragma once
// Start-up of the receiver, from process start to the moment the main window (or headless
// mode) takes over: paths, present ports, enable flags, settings, command line.
#include <string>
#include <vector>

#include "common/ui_sink.h"
#include "config/settings_types.h"

namespace quillon {

// What the main window shows after start-up and after every settings change: the active ports
// in ascending order get the port buttons 1, 2, ...; without an active port the empty page is
// shown and the reception, send and view menu items are disabled.
struct PortButtonLayout {
  std::vector<int> ButtonPorts;  // port of button 1, 2, ...
  bool ShowEmptyPage = true;
  bool MenusEnabled = false;
  int ShownPort() const { return ButtonPorts.empty() ? 0 : ButtonPorts.front(); }
};

PortButtonLayout AssignPortButtons(const TGlobalApp& global);

// Caption of a port button ("com2:").
std::string PortButtonCaption(int port);

struct StartupOptions {
  std::string exePath;            // the running program file
  std::vector<std::string> args;  // command-line arguments without the program name
  std::string homeDir;            // for the fallback directory
};

enum class StartupOutcome {
  Ended,             // the program must end before any window is shown (StartFailed is set)
  StartedWithError,  // a command-line error was shown; the program goes on without its rest
  Started,           // everything succeeded
};

// Runs the start-up steps in order; every error has been shown through `ui`.
StartupOutcome RunStartup(AppContext& app, UiSink& ui, const StartupOptions& options,
                          PortButtonLayout& layout);

}  // namespace quillon
