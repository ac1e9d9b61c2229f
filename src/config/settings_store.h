#pragma once
// Loading and saving the settings file (the profile file at TAppInfo::IniPath).
//
// A port argument p is signed: +n works on the edit copy (slot 0) with the sections of COM n,
// -n on the live slot n with the same sections. All calls run on the main thread.
#include <string>

#include "common/ui_sink.h"
#include "config/settings_types.h"

namespace quillon {

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

  // Reads all nine per-port sections and the global keys; true when nothing was missing.
  // A load that found keys missing repairs the file and tells the user (once per call).
  bool LoadPortSettings(int p);
  // Writes all nine per-port sections and the global keys; true when every step succeeded.
  bool SavePortSettings(int p);

  // Fills PortActive from "Aktiviert" of COM1..COM8 and returns how many are set.
  int ReadPortActiveFlags();
  // "Letze Konfiguration" for a port never configured, else -1.
  int GetCopySourcePort(int n);

  std::string ReadSetupPassword();
  [[nodiscard]] bool WriteSetupPassword(const std::string& password);
  LastSendFile ReadLastSendFile();
  [[nodiscard]] bool WriteLastSendFile(const LastSendFile& last);
  LastExtLog ReadLastExtLog();
  [[nodiscard]] bool WriteLastExtLog(int index, CivilDate date);

 private:
  // The slot a signed port argument works on: 0 for +n, n for -n.
  TQuillonOpt& Slot(int p);
  // "Sprache" and the nine load steps, without the repair of a missing key.
  bool LoadWithoutRepair(int p);

  AppContext& app_;
  UiSink& ui_;
};

}  // namespace quillon
