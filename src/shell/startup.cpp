#include "shell/startup.h"

#include "common/file_texts.h"
#include "common/format.h"
#include "common/ini_file.h"
#include "common/paths.h"
#include "config/settings_store.h"
#include "serial/com_remap.h"
#include "serial/port_presence.h"
#include "shell/command_line.h"
#include "shell/init_paths.h"

namespace quillon {

PortButtonLayout AssignPortButtons(const TGlobalApp& global) {
  PortButtonLayout layout;
  for (int n = 1; n <= kPortCount; ++n) {
    if (global.PortActive[n]) layout.ButtonPorts.push_back(n);
  }
  layout.ShowEmptyPage = layout.ButtonPorts.empty();
  layout.MenusEnabled = !layout.ButtonPorts.empty();
  return layout;
}

std::string PortButtonCaption(int port) { return "com" + std::to_string(port) + ":"; }

StartupOutcome RunStartup(AppContext& app, UiSink& ui, const StartupOptions& options,
                          PortButtonLayout& layout) {
  TGlobalApp& global = app.GlobalApp;
  global.Receiving = false;
  global.Autostart = false;
  global.StartFailed = false;
  global.TestPorts = true;

  app.AppInfo = InitPaths(options.exePath, options.args, options.homeDir, DataDirFromEnvironment());
  BuildPortLogFiles(app.AppInfo, global);

  // A settings file that exists but cannot be read ends the start before anything uses it:
  // running on defaults the user never chose would be worse, and the file is never written.
  if (const int error = IniFile(app.AppInfo.IniPath).Load().readError(); error != 0) {
    ui.ShowMessage(MessageKind::Error, Format(txt::kSettingsUnreadable, app.AppInfo.IniPath,
                                              txt::FileReadProblem(error)));
    global.StartFailed = true;
    return StartupOutcome::Ended;
  }

  // The detection during start-up always opens the ports; "/notest" only affects later ones.
  SetComRemapDirectory(ComRemapDirectoryFor(app.AppInfo));
  for (int n = 1; n <= kPortCount; ++n) {
    global.PortPresent[n] = IsPortPresent("COM" + std::to_string(n) + ":", true);
  }

  SettingsStore store(app, ui);
  store.ReadPortActiveFlags();
  layout = AssignPortButtons(global);
  store.CreatePortLists();

  CommandLine commandLine(app);
  const CommandLineResult result = commandLine.Apply(options.args);
  if (result.ok) return StartupOutcome::Started;
  ui.ShowMessage(MessageKind::Error, result.message);
  if (!result.endProgram) return StartupOutcome::StartedWithError;
  global.StartFailed = true;
  return StartupOutcome::Ended;
}

}  // namespace quillon
