#pragma once
// Qt's own texts (file dialogs, standard buttons, input field menus) in German, like the rest of
// the program.
class QCoreApplication;
class QTranslator;

namespace quillon {

// Loads Qt's German translation from the directory where Qt keeps its translations and installs
// it in `app`, which owns it from then on. Without an installed translation Qt's own texts stay
// English and nullptr is returned.
QTranslator* InstallGermanQtTranslation(QCoreApplication& app);

}  // namespace quillon
