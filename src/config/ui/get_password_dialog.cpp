#include "config/ui/get_password_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/ui/password_field.h"
#include "config/ui/setup_texts.h"

namespace quillon {

TGetPasswordDlg::TGetPasswordDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("TGetPasswordDlg");
  setWindowTitle(QString::fromUtf8(txt::kPasswordCaption));
  auto* label = new QLabel(QString::fromUtf8(txt::kPasswordEnter), this);
  password_ = NewPasswordField(this);
  label->setBuddy(password_);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok =
      buttons->addButton(QString::fromUtf8(txt::kButtonOk), QDialogButtonBox::AcceptRole);
  ok->setObjectName("OKBtn");
  ok->setDefault(true);
  QPushButton* cancel =
      buttons->addButton(QString::fromUtf8(txt::kButtonCancel), QDialogButtonBox::RejectRole);
  cancel->setObjectName("CancelBtn");
  cancel->setAutoDefault(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(password_);
  layout->addSpacing(6);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  password_->setFocus();
}

std::string TGetPasswordDlg::Entered() const { return password_->text().toStdString(); }

}  // namespace quillon
