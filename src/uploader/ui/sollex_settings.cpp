#include "sollex_settings.h"

#include <QDir>
#include <QSettings>

#include "command_line.h"

namespace sollex {

QString SollexSettings::FilePath() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + "/.config";
  return base + "/VARDA/WINQO.conf";
}

SollexSettings SollexSettings::Load() {
  QSettings store(FilePath(), QSettings::IniFormat);
  SollexSettings s;
  auto value = [&store](const char* name, const QString& fallback) {
    if (!store.contains(name)) store.setValue(name, fallback);
    return store.value(name).toString();
  };
  s.path = value("Path", QDir::homePath());
  s.selection = value("Selection", "HEX");
  s.portIndex = PortIndexFrom(value("ComNumber", "0").toStdString(), 0);
  s.rateIndex = RateIndexFrom(value("BaudRate", "3").toStdString(), 2);
  for (int i = 1; i <= 4; ++i) {
    const QString key = QString("File%1").arg(i);
    if (!store.contains(key)) break;
    s.recent << store.value(key).toString();
  }
  store.sync();
  return s;
}

void SollexSettings::Save() const {
  QSettings store(FilePath(), QSettings::IniFormat);
  store.setValue("Path", path);
  store.setValue("Selection", selection);
  store.setValue("ComNumber", QString::number(portIndex));
  store.setValue("BaudRate", QString::number(rateIndex));
  for (int i = 0; i < recent.size() && i < 5; ++i) {
    store.setValue(QString("File%1").arg(i + 1), recent[i]);
  }
  store.sync();
}

}  // namespace sollex
