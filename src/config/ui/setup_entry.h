#pragma once
// How the main window reaches the settings: the setup password check and the setup dialog.
#include "common/ui_sink.h"
#include "config/settings_types.h"

class QWidget;

namespace quillon {

// Asks for the setup password when one is set; true when the setup dialog may open.
bool CheckSetupPassword(QWidget* parent, AppContext& app, UiSink& ui);

// Shows the setup dialog modally and frees it; afterwards the ports' "Aktiviert" flags are read
// again into PortActive. Reception must be stopped while it runs.
void OpenSetupDialog(QWidget* parent, AppContext& app, UiSink& ui);

}  // namespace quillon
