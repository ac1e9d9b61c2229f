#include "config/ui/password_field.h"

namespace quillon {

QLineEdit* NewPasswordField(QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setObjectName("Password");
  field->setEchoMode(QLineEdit::Password);
  field->setStyleSheet("lineedit-password-character: 42;");  // '*'
  field->setMinimumWidth(260);
  return field;
}

}  // namespace quillon
