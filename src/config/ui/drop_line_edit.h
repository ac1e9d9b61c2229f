#pragma once
// A text field that takes one file dragged from the file manager. Dropping several files shows
// "Bitte nur eine Datei in das Eingabefeld ziehen!" and changes nothing.
#include <QLineEdit>
#include <QString>

namespace quillon {

class DropLineEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit DropLineEdit(QWidget* parent = nullptr);

 signals:
  // A single local file was dropped; the owner decides what the field becomes.
  void fileDropped(const QString& path);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};

}  // namespace quillon
