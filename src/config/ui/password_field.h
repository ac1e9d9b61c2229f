#pragma once
// The text field of the password dialogs: every character shows as "*".
#include <QLineEdit>

namespace quillon {

QLineEdit* NewPasswordField(QWidget* parent);

}  // namespace quillon
