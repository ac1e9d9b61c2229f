#pragma once
// TPasswordDlg: sets a new setup password. With a password set, the old one is asked for
// first; the new one is then typed twice. Enter takes each entry while "OK" is still disabled;
// once the repetition is asked for, "OK" is enabled and is the default button.
#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quillon {

class TPasswordDlg : public QDialog {
  Q_OBJECT

 public:
  enum class Step { AskOld, AskNew };

  // `current` is the password set now (empty for none).
  TPasswordDlg(const std::string& current, QWidget* parent = nullptr);

  // The confirmed new password.
  std::string Entered() const;
  Step step() const { return step_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Enter while "OK" is disabled: check the old password or take the first entry.
  void TakeEntry();
  void Confirm();

  const std::string current_;
  std::string firstEntry_;
  Step step_;
  QLabel* label_;
  QLineEdit* password_;
  QPushButton* ok_;
};

}  // namespace quillon
