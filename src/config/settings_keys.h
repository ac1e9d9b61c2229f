#pragma once
// The layout of the settings file: section names, key names and the one table of per-port keys.
//
// The table drives both loading and saving of a port, so the two can never disagree about a
// key's name, section, default or value format. Keys that need more than one line of code (the
// poll addresses and modem passwords, which are numbered lists) are handled by the store itself.
#include <span>
#include <string>
#include <variant>

#include "config/settings_types.h"

namespace quillon {

// The sections of the settings file. Those up to AckNak exist once per port ("... für COM%d:").
enum class SettingsSection {
  Interface,   // "Schnittstellenparameter für COM%d:"
  Data,        // "Datenparameter für COM%d:"
  Files,       // "Dateienparameter für COM%d:"
  Processing,  // "Verarbeitung für COM%d:"
  Polling,     // "Pollingparameter für COM%d:"
  Modem,       // "Modemparameter für COM%d:"
  Net,         // "TCP/IP-Parameter für COM%d:"
  Options,     // "Optionen für COM%d:"
  AckNak,      // "AckNak-Einstellungen für COM%d:"
  General,     // "Allgemeine Programmoptionen"
  Settings,    // "Einstellungen"
  History,     // "History"
};

// The name of a section; per-port sections are filled with the port number n (1..8).
std::string SectionName(SettingsSection section, int n);

// The nine load and save steps of one port, in the order they run. Each step covers the keys of
// one section, except Options, which also covers a few program-wide keys.
enum class SettingsStep {
  Interface,
  Data,
  Files,
  Processing,
  Polling,
  Modem,
  Net,
  Options,
  AckNak
};
inline constexpr SettingsStep kSettingsSteps[] = {
    SettingsStep::Interface,  SettingsStep::Data,    SettingsStep::Files,
    SettingsStep::Processing, SettingsStep::Polling, SettingsStep::Modem,
    SettingsStep::Net,        SettingsStep::Options, SettingsStep::AckNak};

// Keys used outside the table.
namespace key {
inline constexpr const char* kEnabled = "Aktiviert";
inline constexpr const char* kBaudrate = "Baudrate";
inline constexpr const char* kLastConfig = "Letze Konfiguration";
inline constexpr const char* kLanguage = "Sprache";
inline constexpr const char* kDefaultLanguage = "Deutsch";
inline constexpr const char* kSetupPassword = "Paßwort";
inline constexpr const char* kLastSendFile = "Letzte Sendedatei";
inline constexpr const char* kLastExtLog = "Letzte externe Protokolldatei";
inline constexpr const char* kPollAddress = "Geräteadresse %d";
inline constexpr const char* kModemPassword = "Paßwort";  // followed directly by 1, 2, ...
}  // namespace key

// How a missing or unusable value is treated.
enum class KeyRule {
  // Numbers and booleans: absent, -1, not a number or outside the domain. Texts and "|" lists:
  // absent or empty. The default is used and the port's load counts as incomplete.
  Reported,
  // Texts read with "?" standing for an absent key: absent or "?" is reported, empty stays empty.
  ReportedQuestionMark,
  // Absent or unusable: the default, nothing reported. Booleans: any non-zero number is true.
  Silent,
};

// Where a value lives: everything in memory is a field of the port's record or of the
// program-wide record.
struct SettingsTarget {
  TQuillonOpt& opt;
  TGlobalApp& global;
};

// A key whose value is a "|" list of several fields. `decode` fills the fields from the text
// (missing parts become their "unreadable" values); `encode` joins them.
struct ListCodec {
  void (*decode)(TQuillonOpt& opt, const std::string& text);
  std::string (*encode)(const TQuillonOpt& opt);
};

using SettingsField =
    std::variant<int TQuillonOpt::*, bool TQuillonOpt::*, std::string TQuillonOpt::*,
                 int TGlobalApp::*, bool TGlobalApp::*, std::string TGlobalApp::*, ListCodec>;

struct KeyDef {
  SettingsStep step;
  SettingsSection section;
  const char* name;
  KeyRule rule;
  SettingsField field;
  int number = 0;                   // default of a number or boolean (0/1)
  const char* text = "";            // default of a text; for "|" lists the text decoded as default
  bool (*inDomain)(int) = nullptr;  // numbers only; nullptr = every number
  bool defaultInExeDir = false;     // default text is relative to the program's directory
  bool loadOnly = false;            // read, never written
};

// All per-port keys (and the program-wide keys of the Options step), in the order they are
// written within each section.
std::span<const KeyDef> SettingsKeys();

}  // namespace quillon
