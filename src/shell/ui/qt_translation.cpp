#include "shell/ui/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace quillon {

QTranslator* InstallGermanQtTranslation(QCoreApplication& app) {
  auto* translator = new QTranslator(&app);
  // "qtbase" holds the texts of the widgets and dialogs this program uses.
  if (!translator->load(QLocale(QLocale::German, QLocale::Germany), "qtbase", "_",
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return nullptr;
  }
  return translator;
}

}  // namespace quillon
