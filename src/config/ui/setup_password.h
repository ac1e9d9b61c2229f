#pragma once
// Setting a new setup password from the setup dialog. (Asking for it before the dialog opens
// is CheckSetupPassword in setup_entry.h.)
#include <string>

#include "common/ui_sink.h"
#include "config/settings_types.h"

class QWidget;

namespace quillon {

struct NewPassword {
  bool confirmed = false;
  std::string password;
};

// Runs TPasswordDlg with the stored password; confirmed with the new password when the user
// completed it. Writes nothing.
NewPassword AskNewPassword(QWidget* parent, AppContext& app, UiSink& ui);

}  // namespace quillon
