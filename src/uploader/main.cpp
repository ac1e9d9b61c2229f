// Sollex: loads an application (.hex, an .h00 bank set or an .exs script) into a data-capture
// terminal over a serial line.
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "sollex_dialog.h"

namespace {

constexpr const char* kVersionText = "Sollex " QUILLON_VERSION "\n";
constexpr const char* kHelpText =
    "Usage: sollex [options]\n"
    "Loads an application (.hex, an .h00/.h01/... bank set or an .exs script) into a\n"
    "data-capture terminal over a serial line.\n"
    "\n"
    "  /p<n>       port COM<n> (through ComRemap.ini beside the program)\n"
    "  /b<baud>    baud rate: 19200 (default), 38400 or 57600\n"
    "  /f<file>    the file to load; with it the transfer starts by itself\n"
    "  --version   print the version\n"
    "  --help      this help\n"
    "\n"
    "The choices made in the dialog are kept in ~/.config/VARDA/WINQO.conf.\n";

// "--version" or "--help" anywhere: the text, before any window or setting is touched.
const char* InformationRequested(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--version") return kVersionText;
    if (arg == "--help" || arg == "-h") return kHelpText;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* text = InformationRequested(argc, argv)) {
    std::fputs(text, stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  QApplication app(argc, argv);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  sollex::SollexDialog dialog(sollex::ParseCommandLine(args));
  // The program is the dialog: it ends when the dialog is closed, whatever else is open. Queued,
  // so that the closing is complete before the application winds down.
  QObject::connect(&dialog, &QDialog::finished, &app, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  dialog.show();
  return app.exec();
}
