#include "config/ui/setup_password.h"

#include "common/ui/message_boxes.h"
#include "config/settings_store.h"
#include "config/ui/get_password_dialog.h"
#include "config/ui/new_password_dialog.h"
#include "config/ui/setup_entry.h"
#include "config/ui/setup_texts.h"

namespace quillon {

bool CheckSetupPassword(QWidget* parent, AppContext& app, UiSink& ui) {
  const std::string stored = SettingsStore(app, ui).ReadSetupPassword();
  if (stored.empty()) return true;
  TGetPasswordDlg dialog(parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  if (dialog.Entered() == stored) return true;
  ShowMessageBox(parent, MessageKind::Error, txt::kPasswordWrong);
  return false;
}

NewPassword AskNewPassword(QWidget* parent, AppContext& app, UiSink& ui) {
  TPasswordDlg dialog(SettingsStore(app, ui).ReadSetupPassword(), parent);
  if (dialog.exec() != QDialog::Accepted) return {};
  return {true, dialog.Entered()};
}

}  // namespace quillon
