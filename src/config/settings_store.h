#pragma once
// Loading and saving the settings file (the profile file at TAppInfo::IniPath).
//
// A port's settings are loaded into and saved from one of two slots: the setup dialog's edit
// copy (slot 0) or the port's live slot n. All calls run on the main thread.
#include <string>

#include "common/ui_sink.h"
#include "config/settings_types.h"

namespace quillon {

// Which copy of a port's settings a load or save works on. Both use the sections of the port.
enum class SettingsSlot {
  Edit,  // slot 0, the setup dialog's copy
  Live,  // slot n, read by the port's receive thread and everything else
};

struct LastSendFile {
  std::string File;
  int PortIndex = 0;
  int ProtocolIndex = 0;
};

struct LastExtLog {
  int Index = -1;
  CivilDate Date;
};

class SettingsStore {
 public:
  SettingsStore(AppContext& app, UiSink& ui) : app_(app), ui_(ui) {}

  // Resets all nine slots and loads the live slots of the present ports.
  void CreatePortLists();
  void FreePortLists();

  // Reads all nine sections of COM n and the global keys into `slot`; true when nothing was
  // missing. A load that found keys missing repairs the file, loads the port's other slot from
  // it and tells the user (once per call).
  bool LoadPortSettings(SettingsSlot slot, int n);
  // Writes `slot` to all nine sections of COM n and the global keys; true when every step
  // succeeded. "Letze Konfiguration" remembers n, negated for the live slot.
  bool SavePortSettings(SettingsSlot slot, int n);

  // Fills PortActive from "Aktiviert" of COM1..COM8 and returns how many are set.
  int ReadPortActiveFlags();
  // "Letze Konfiguration" for a port never configured, else -1. Positive only when the last
  // save was one of the edit copy.
  int GetCopySourcePort(int n);

  std::string ReadSetupPassword();
  [[nodiscard]] bool WriteSetupPassword(const std::string& password);
  LastSendFile ReadLastSendFile();
  [[nodiscard]] bool WriteLastSendFile(const LastSendFile& last);
  LastExtLog ReadLastExtLog();
  [[nodiscard]] bool WriteLastExtLog(int index, CivilDate date);

 private:
  TQuillonOpt& Slot(SettingsSlot slot, int n);
  // "Sprache" and the nine load steps, without the repair of a missing key.
  bool LoadWithoutRepair(SettingsSlot slot, int n);

  AppContext& app_;
  UiSink& ui_;
};

}  // namespace quillon
