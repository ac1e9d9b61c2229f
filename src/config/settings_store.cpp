// Loading and saving a port's settings: the nine steps over the key table, the numbered lists
// of poll addresses and modem passwords, and the repair of a file with missing keys.
#include "config/settings_store.h"

#include <exception>
#include <type_traits>

#include "common/format.h"
#include "common/ini_file.h"
#include "common/texts.h"
#include "config/settings_keys.h"
#include "config/sorted_list.h"

namespace quillon {
namespace {

bool IsPort(int n) { return n >= 1 && n <= kPortCount; }

SettingsSlot OtherSlot(SettingsSlot slot) {
  return slot == SettingsSlot::Edit ? SettingsSlot::Live : SettingsSlot::Edit;
}

template <class Record, class T>
T& Resolve(SettingsTarget target, T Record::*member) {
  if constexpr (std::is_same_v<Record, TQuillonOpt>) {
    return target.opt.*member;
  } else {
    return target.global.*member;
  }
}

// ---- reading one key -------------------------------------------------------------------------
// Each returns false when a reported key was missing or unusable; the default is then set.

bool LoadValue(const KeyDef& def, const std::optional<std::string>& raw, const TAppInfo&,
               int& value) {
  const bool silent = def.rule == KeyRule::Silent;
  const std::optional<int> parsed = raw ? ParseInt(*raw) : std::nullopt;
  const bool usable =
      parsed && (silent || *parsed != -1) && (!def.inDomain || def.inDomain(*parsed));
  value = usable ? *parsed : def.number;
  return usable || silent;
}

bool LoadValue(const KeyDef& def, const std::optional<std::string>& raw, const TAppInfo&,
               bool& value) {
  const bool silent = def.rule == KeyRule::Silent;
  const std::optional<int> parsed = raw ? ParseInt(*raw) : std::nullopt;
  const bool usable = parsed && (silent || *parsed != -1);
  value = usable ? *parsed != 0 : def.number != 0;
  return usable || silent;
}

bool LoadValue(const KeyDef& def, const std::optional<std::string>& raw, const TAppInfo& info,
               std::string& value) {
  bool usable = false;
  switch (def.rule) {
    case KeyRule::Reported:
      usable = raw && !raw->empty();
      break;
    case KeyRule::ReportedQuestionMark:
      usable = raw && *raw != "?";
      break;
    case KeyRule::Silent:
      usable = raw.has_value();
      break;
  }
  if (usable) {
    value = *raw;
  } else {
    value = def.defaultInExeDir ? info.ExeDir + def.text : def.text;
  }
  return usable || def.rule == KeyRule::Silent;
}

bool LoadKey(const KeyDef& def, const IniDocument& doc, int n, SettingsTarget target,
             const TAppInfo& info) {
  const std::optional<std::string> raw = doc.Get(SectionName(def.section, n), def.name);
  return std::visit(
      [&](auto field) -> bool {
        if constexpr (std::is_same_v<decltype(field), ListCodec>) {
          const bool usable = raw && !raw->empty();
          field.decode(target.opt, usable ? *raw : std::string(def.text));
          return usable || def.rule == KeyRule::Silent;
        } else {
          return LoadValue(def, raw, info, Resolve(target, field));
        }
      },
      def.field);
}

// ---- writing one key -------------------------------------------------------------------------

std::string ValueText(int value) { return std::to_string(value); }
std::string ValueText(bool value) { return value ? "1" : "0"; }
std::string ValueText(const std::string& value) { return value; }

std::string KeyText(const KeyDef& def, SettingsTarget target) {
  return std::visit(
      [&](auto field) -> std::string {
        if constexpr (std::is_same_v<decltype(field), ListCodec>) {
          return field.encode(target.opt);
        } else {
          return ValueText(Resolve(target, field));
        }
      },
      def.field);
}

// ---- the steps -------------------------------------------------------------------------------

// Reads "Geräteadresse 1", "Geräteadresse 2", ... up to the first missing or empty one.
void LoadPollAddresses(const IniDocument& doc, const std::string& section, TQuillonOpt& opt) {
  opt.PollAddresses.clear();
  for (int i = 1;; ++i) {
    const auto address = doc.Get(section, Format(key::kPollAddress, i));
    if (!address || address->empty()) break;
    AddSorted(opt.PollAddresses, *address);
  }
}

// Every key of the modem section beginning with "Paßwort" (case matters) is a password: the
// text after the first "=" up to the next "=".
void LoadModemPasswords(const IniDocument& doc, const std::string& section, TQuillonOpt& opt) {
  opt.ModemPasswords.clear();
  const std::string_view prefix = key::kModemPassword;
  for (const std::string& line : doc.SectionLines(section)) {
    if (!line.starts_with(prefix)) continue;
    const size_t begin = line.find('=') + 1;
    const size_t end = line.find('=', begin);
    opt.ModemPasswords.push_back(
        line.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
  }
}

bool LoadStep(SettingsStep step, int n, SettingsTarget target, const TAppInfo& info) {
  const IniDocument doc = IniFile(info.IniPath).Load();
  bool complete = true;
  for (const KeyDef& def : SettingsKeys()) {
    if (def.step == step) complete = LoadKey(def, doc, n, target, info) && complete;
  }
  switch (step) {
    case SettingsStep::Interface:
      target.opt.PortName = Format("COM%d:", n);
      break;
    case SettingsStep::Polling:
      LoadPollAddresses(doc, SectionName(SettingsSection::Polling, n), target.opt);
      break;
    case SettingsStep::Modem:
      LoadModemPasswords(doc, SectionName(SettingsSection::Modem, n), target.opt);
      break;
    default:
      break;
  }
  return complete;
}

// One step is one access to the file. The polling and modem sections are rewritten whole, so
// that no address or password of a longer list is left behind; erasing and rewriting happen in
// the same write, so the file never holds the section erased.
bool SaveStep(SettingsStep step, int n, SettingsTarget target, const TAppInfo& info) {
  TQuillonOpt& opt = target.opt;
  if (step == SettingsStep::Polling && opt.PollEnabled && opt.PollAddresses.empty()) {
    opt.PollEnabled = false;
  }
  const auto write = [&](IniDocument& doc) {
    if (step == SettingsStep::Polling) doc.ClearSection(SectionName(SettingsSection::Polling, n));
    if (step == SettingsStep::Modem) doc.ClearSection(SectionName(SettingsSection::Modem, n));
    for (const KeyDef& def : SettingsKeys()) {
      if (def.step != step || def.loadOnly) continue;
      doc.Set(SectionName(def.section, n), def.name, QuotedForGet(KeyText(def, target)));
    }
    if (step == SettingsStep::Polling) {
      const std::string section = SectionName(SettingsSection::Polling, n);
      for (size_t i = 0; i < opt.PollAddresses.size(); ++i) {
        doc.Set(section, Format(key::kPollAddress, static_cast<int>(i + 1)),
                QuotedForGet(opt.PollAddresses[i]));
      }
    }
    if (step == SettingsStep::Modem) {
      const std::string section = SectionName(SettingsSection::Modem, n);
      for (size_t i = 0; i < opt.ModemPasswords.size(); ++i) {
        doc.Set(section, key::kModemPassword + std::to_string(i + 1), opt.ModemPasswords[i]);
      }
    }
  };
  try {
    return IniFile(info.IniPath).Update(write);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

TQuillonOpt& SettingsStore::Slot(SettingsSlot slot, int n) {
  return app_.PortSettings[slot == SettingsSlot::Edit ? 0 : n];
}

void SettingsStore::CreatePortLists() {
  for (TQuillonOpt& slot : app_.PortSettings) slot = TQuillonOpt{};
  for (int n = 1; n <= kPortCount; ++n) {
    if (app_.GlobalApp.PortPresent[n]) LoadPortSettings(SettingsSlot::Live, n);
  }
  const LastExtLog last = ReadLastExtLog();
  app_.GlobalApp.ExtLogIndex = last.Index;
  app_.GlobalApp.ExtLogDate = last.Date;
}

void SettingsStore::FreePortLists() {
  for (TQuillonOpt& slot : app_.PortSettings) {
    slot.PollAddresses = {};
    slot.ModemPasswords = {};
  }
}

bool SettingsStore::LoadWithoutRepair(SettingsSlot slot, int n) {
  const IniFile file(app_.AppInfo.IniPath);
  app_.GlobalApp.Language = file.ReadString(SectionName(SettingsSection::General, n),
                                            key::kLanguage, key::kDefaultLanguage);
  const SettingsTarget target{Slot(slot, n), app_.GlobalApp};
  bool complete = true;
  for (const SettingsStep step : kSettingsSteps) {
    complete = LoadStep(step, n, target, app_.AppInfo) && complete;
  }
  return complete;
}

bool SettingsStore::LoadPortSettings(SettingsSlot slot, int n) {
  if (!IsPort(n)) return false;
  const bool complete = LoadWithoutRepair(slot, n);
  if (!complete) {
    // Write the defaults that were used, then load the other slot of the port from the
    // repaired file. Without repair: when the file cannot be written, loading again would
    // find the same keys missing and never end.
    SavePortSettings(slot, n);
    LoadWithoutRepair(OtherSlot(slot), n);
    ui_.ShowMessage(MessageKind::Information, Format(txt::kSettingsRepaired, n));
  }
  return complete;
}

bool SettingsStore::SavePortSettings(SettingsSlot slot, int n) {
  if (!IsPort(n)) return false;
  const std::string& path = app_.AppInfo.IniPath;
  // Only a save of the edit copy makes the port a source the setup dialog offers to copy.
  const int lastConfig = slot == SettingsSlot::Edit ? n : -n;
  bool ok = false;
  try {
    ok = IniFile(path).WriteInteger(SectionName(SettingsSection::Settings, n), key::kLastConfig,
                                    lastConfig);
  } catch (const std::exception&) {
    ok = false;
  }
  const SettingsTarget target{Slot(slot, n), app_.GlobalApp};
  for (const SettingsStep step : kSettingsSteps) {
    const bool stepOk = SaveStep(step, n, target, app_.AppInfo);
    // The polling step erases its section before writing it; the user hears of a failed
    // erase on its own, besides the one message for the whole save.
    if (!stepOk && step == SettingsStep::Polling) {
      ui_.ShowMessage(MessageKind::Error, Format(txt::kSettingsWriteFailed, path));
    }
    ok = stepOk && ok;
  }
  if (!ok) ui_.ShowMessage(MessageKind::Error, Format(txt::kSettingsSaveFailed, path));
  return ok;
}

}  // namespace quillon
