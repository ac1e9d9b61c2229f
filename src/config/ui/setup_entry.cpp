#include "config/ui/setup_entry.h"

#include "config/settings_store.h"

namespace quillon {

// Placeholder until the dialogs exist: no password and no dialog, only the flags re-read.
bool CheckSetupPassword(QWidget*, AppContext&, UiSink&) { return true; }

void OpenSetupDialog(QWidget*, AppContext& app, UiSink& ui) {
  SettingsStore store(app, ui);
  store.ReadPortActiveFlags();
}

}  // namespace quillon
