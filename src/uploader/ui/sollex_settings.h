#pragma once
// The uploader's stored choices in ~/.config/VARDA/WINQO.conf (or under $XDG_CONFIG_HOME): the
// folder shown first by the file dialog, the file type last chosen, port and rate index and the
// recently sent files. All values are strings.
#include <QString>
#include <QStringList>

namespace sollex {

struct SollexSettings {
  QString path;
  QString selection = "HEX";
  int portIndex = 0;
  int rateIndex = 2;
  QStringList recent;  // newest first

  static QString FilePath();
  // Reads the values; missing ones get their defaults, which are written back.
  static SollexSettings Load();
  // Writes the values and the first five recent files.
  void Save() const;
};

}  // namespace sollex
