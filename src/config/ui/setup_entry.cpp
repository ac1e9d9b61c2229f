#include "config/ui/setup_entry.h"

#include "config/settings_store.h"
#include "config/ui/setup_form.h"

namespace quillon {

// CheckSetupPassword lives with the other password dialogs in setup_password.cpp.

void OpenSetupDialog(QWidget* parent, AppContext& app, UiSink& ui) {
  {
    TQuillonSetupForm dialog(app, ui, parent);
    dialog.exec();
  }
  SettingsStore(app, ui).ReadPortActiveFlags();
}

}  // namespace quillon
