// Sollex: loads an application (.hex, an .h00 bank set or an .exs script) into a data-capture
// terminal over a serial line.
#include <QApplication>
#include <string>
#include <vector>

#include "sollex_dialog.h"

int main(int argc, char** argv) {
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
