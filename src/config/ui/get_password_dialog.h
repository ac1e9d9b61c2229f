#pragma once
// TGetPasswordDlg: asks for the setup password ("Bitte Paßwort eingeben:").
#include <QDialog>
#include <string>

class QLineEdit;

namespace quillon {

class TGetPasswordDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TGetPasswordDlg(QWidget* parent = nullptr);
  std::string Entered() const;

 private:
  QLineEdit* password_;
};

}  // namespace quillon
