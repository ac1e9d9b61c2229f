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

constexpr const char* kVersionText = "Quillon " QUILLON_VERSION "\n";
constexpr const char* kHelpText =
    "Aufruf: quillon [Optionen]\n"
    "Empfängt Daten von mobilen Datenerfassungsgeräten über bis zu acht serielle Leitungen.\n"
    "\n"
    "  /ini<Verzeichnis>   Einstellungsdatei in diesem Verzeichnis\n"
    "  /dir<Verzeichnis>   Protokolle, temporäre Dateien und lokale Ablage in diesem Verzeichnis\n"
    "  /autostart          Empfang beim Start beginnen\n"
    "  /notest             Schnittstellen später nicht einzeln öffnen\n"
    "  /headless           ohne Fenster (Meldungen auf stderr, Protokollzeilen auf stdout)\n"
    "  /com<n> b:<Baud> f:<Datenbits><N|O|E><Stoppbits> tx:<Datei>\n"
    "                      Schnittstelle n (1..8) für diesen Lauf\n"
    "  @<Datei>            weitere Argumente aus der Datei, eines je Zeile\n"
    "  --version           Version ausgeben\n"
    "  --help              diese Hilfe\n"
    "\n"
    "Einstellungen, Protokolle und Auftragsdatei liegen neben dem Programm, wenn dort eine\n"
    "quillon.ini liegt, sonst im Verzeichnis aus QUILLON_DATA_DIR, sonst neben einem\n"
    "beschreibbaren Programm, sonst in ~/.local/share/quillon/.\n";

// "--version" or "--help" anywhere: the text, before anything else is touched.
const char* InformationRequested(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--version") return kVersionText;
    if (arg == "--help" || arg == "-h") return kHelpText;
  }
  return nullptr;
}

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
  if (const char* text = InformationRequested(args)) {
    std::fputs(text, stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
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
