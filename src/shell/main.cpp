// The receiver program: with its window when a display is there and "/headless" is not given,
// otherwise without windows.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/paths.h"
#include "receive/com_thread.h"
#include "shell/command_line.h"
#include "shell/headless_app.h"
#include "shell/ui/window_app.h"

namespace {

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const std::string exePath = quillon::ExecutablePath(argc > 0 ? argv[0] : "quillon");
  const int code = quillon::HasHeadlessSwitch(args) || !DisplayAvailable()
                       ? quillon::RunHeadless(exePath, args)
                       : quillon::RunWindowed(exePath, args);
  if (quillon::TComThread::RunningCount() > 0) {
    // A receive thread that did not stop in time still runs: the process ends without running
    // the destructors of statics that it might still use.
    std::fflush(nullptr);
    std::_Exit(code);
  }
  return code;
}
