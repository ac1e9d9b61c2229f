#include "config/ui/new_password_dialog.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/ui/message_boxes.h"
#include "config/ui/password_field.h"
#include "config/ui/setup_texts.h"

namespace quillon {

TPasswordDlg::TPasswordDlg(const std::string& current, QWidget* parent)
    : QDialog(parent), current_(current), step_(current.empty() ? Step::AskNew : Step::AskOld) {
  setObjectName("TPasswordDlg");
  setWindowTitle(QString::fromUtf8(txt::kPasswordCaption));
  label_ = new QLabel(
      QString::fromUtf8(step_ == Step::AskOld ? txt::kPasswordAskOld : txt::kPasswordAskFirst),
      this);
  label_->setObjectName("PWLbl");
  password_ = NewPasswordField(this);
  label_->setBuddy(password_);

  auto* buttons = new QDialogButtonBox(this);
  ok_ = buttons->addButton(QString::fromUtf8(txt::kButtonOk), QDialogButtonBox::AcceptRole);
  ok_->setObjectName("OKBtn");
  ok_->setEnabled(false);
  ok_->setAutoDefault(false);
  QPushButton* cancel =
      buttons->addButton(QString::fromUtf8(txt::kButtonCancel), QDialogButtonBox::RejectRole);
  cancel->setObjectName("CancelBtn");
  cancel->setAutoDefault(false);
  connect(ok_, &QPushButton::clicked, this, &TPasswordDlg::Confirm);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label_);
  layout->addWidget(password_);
  layout->addSpacing(6);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  // Room for the longest prompt, so the dialog keeps its size while the prompts change.
  label_->setMinimumWidth(
      label_->fontMetrics().horizontalAdvance(QString::fromUtf8(txt::kPasswordRepeatNew)));
  password_->setFocus();
}

std::string TPasswordDlg::Entered() const { return password_->text().toStdString(); }

void TPasswordDlg::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && !ok_->isEnabled()) {
    event->accept();
    TakeEntry();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TPasswordDlg::TakeEntry() {
  const std::string entered = Entered();
  if (step_ == Step::AskOld) {
    if (entered != current_) {
      ShowMessageBox(this, MessageKind::Error, txt::kPasswordOldInvalid);
      reject();
      return;
    }
    step_ = Step::AskNew;
    label_->setText(QString::fromUtf8(txt::kPasswordAskNew));
    password_->clear();
    return;
  }
  label_->setText(
      QString::fromUtf8(current_.empty() ? txt::kPasswordRepeat : txt::kPasswordRepeatNew));
  ok_->setEnabled(true);
  ok_->setDefault(true);
  firstEntry_ = entered;
  password_->clear();
}

void TPasswordDlg::Confirm() {
  if (Entered() != firstEntry_) {
    ShowMessageBox(this, MessageKind::Error, txt::kPasswordsDiffer);
    reject();
    return;
  }
  accept();
}

}  // namespace quillon
