#pragma once
// What every part of the setup dialog works on: the settings, the store that loads and saves
// them, and the edit copy of the port being shown.
#include "common/ui_sink.h"
#include "config/settings_store.h"
#include "config/settings_types.h"

namespace quillon {

struct SetupContext {
  SetupContext(AppContext& appContext, UiSink& uiSink)
      : app(appContext), ui(uiSink), store(appContext, uiSink) {}

  // Slot 0: the port being edited.
  TQuillonOpt& Edit() { return app.PortSettings[0]; }
  TGlobalApp& Global() { return app.GlobalApp; }

  AppContext& app;
  UiSink& ui;
  SettingsStore store;
};

}  // namespace quillon
