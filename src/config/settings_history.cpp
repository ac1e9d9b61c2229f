// The single values of the settings file outside a port's load and save: the enable flags read
// at start-up, the copy source of a new port, the setup password and the two history values.
#include <chrono>

#include "common/format.h"
#include "common/ini_file.h"
#include "config/settings_keys.h"
#include "config/settings_store.h"
#include "config/value_list.h"

namespace quillon {
namespace {

// "dd.mm.yyyy"; a text that is not a real calendar date gives the null date.
CivilDate ParseDate(const std::string& text) {
  const size_t first = text.find('.');
  if (first == std::string::npos) return {};
  const size_t second = text.find('.', first + 1);
  if (second == std::string::npos) return {};
  const auto day = ParseInt(text.substr(0, first));
  const auto month = ParseInt(text.substr(first + 1, second - first - 1));
  const auto year = ParseInt(text.substr(second + 1));
  if (!day || !month || !year || *day < 1 || *day > 31 || *month < 1 || *month > 12 || *year < 1 ||
      *year > 9999) {
    return {};
  }
  const std::chrono::year_month_day date{std::chrono::year{*year},
                                         std::chrono::month{static_cast<unsigned>(*month)},
                                         std::chrono::day{static_cast<unsigned>(*day)}};
  if (!date.ok()) return {};
  return CivilDate{*year, *month, *day};
}

}  // namespace

int SettingsStore::ReadPortActiveFlags() {
  const IniDocument doc = IniFile(app_.AppInfo.IniPath).Load();
  int count = 0;
  for (int n = 1; n <= kPortCount; ++n) {
    const auto value = doc.Get(SectionName(SettingsSection::Interface, n), key::kEnabled);
    const bool active = value && ParseInt(*value).value_or(0) != 0;
    app_.GlobalApp.PortActive[n] = active;
    if (active) ++count;
  }
  return count;
}

int SettingsStore::GetCopySourcePort(int n) {
  const IniDocument doc = IniFile(app_.AppInfo.IniPath).Load();
  if (doc.Get(SectionName(SettingsSection::Interface, n), key::kBaudrate)) return -1;
  const auto last = doc.Get(SectionName(SettingsSection::Settings, n), key::kLastConfig);
  return last ? ParseInt(*last).value_or(-1) : -1;
}

std::string SettingsStore::ReadSetupPassword() {
  return IniFile(app_.AppInfo.IniPath)
      .ReadString(SectionName(SettingsSection::Settings, 0), key::kSetupPassword, "");
}

bool SettingsStore::WriteSetupPassword(const std::string& password) {
  return IniFile(app_.AppInfo.IniPath)
      .WriteString(SectionName(SettingsSection::Settings, 0), key::kSetupPassword, password);
}

LastSendFile SettingsStore::ReadLastSendFile() {
  const std::string value =
      IniFile(app_.AppInfo.IniPath)
          .ReadString(SectionName(SettingsSection::History, 0), key::kLastSendFile, "");
  if (value.empty()) return {};
  return LastSendFile{ListValue(value, 1), ParseInt(ListValue(value, 2)).value_or(0),
                      ParseInt(ListValue(value, 3)).value_or(0)};
}

bool SettingsStore::WriteLastSendFile(const LastSendFile& last) {
  const std::string value =
      JoinList({last.File, std::to_string(last.PortIndex), std::to_string(last.ProtocolIndex)});
  return IniFile(app_.AppInfo.IniPath)
      .WriteString(SectionName(SettingsSection::History, 0), key::kLastSendFile, value);
}

LastExtLog SettingsStore::ReadLastExtLog() {
  const std::string value =
      IniFile(app_.AppInfo.IniPath)
          .ReadString(SectionName(SettingsSection::Settings, 0), key::kLastExtLog, "");
  const auto index = ParseInt(ListValue(value, 1));
  if (!index || *index < 0) return {};  // empty or unreadable: no file
  return LastExtLog{*index, ParseDate(ListValue(value, 2))};
}

bool SettingsStore::WriteLastExtLog(int index, CivilDate date) {
  const std::string value =
      index < 0 ? std::string()
                : JoinList({std::to_string(index),
                            Format("%02d.%02d.%04d", date.day, date.month, date.year)});
  return IniFile(app_.AppInfo.IniPath)
      .WriteString(SectionName(SettingsSection::Settings, 0), key::kLastExtLog, value);
}

}  // namespace quillon
