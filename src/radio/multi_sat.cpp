#include "radio/multi_sat.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "common/encoding.h"
#include "common/file_io.h"
#include "common/ini_file.h"

namespace quillon {
namespace {

constexpr const char* kSectionTerminals = "Terminals";
constexpr const char* kSectionSatellites = "Satelliten";
constexpr const char* kSectionGroups = "Gruppen";
constexpr const char* kSectionOptions = "Optionen";
constexpr const char* kKeyTermIdBeforeData = "Terminal-ID vor Daten";
constexpr const char* kKeyDeleteDuplicates = "Doppelte Datensätze löschen";
constexpr const char* kKeyWithCounter = "Daten mit Protokollzähler";
constexpr const char* kKeySatCmdDelay = "Min. Pause zwischen Sat-Befehlen";
constexpr const char* kKeyOnlineOfflineDelay = "Min. Pause zwischen Sat-Statuswechsel";
constexpr const char* kKeyDebuglevel = "Debuglevel";
constexpr const char* kKeyDebug = "Debug";
constexpr const char* kNewGroupPrefix = "Gruppe ";
constexpr const char* kDebugFileSuffix = "-Debug.txt";

constexpr int kMaxSatCmdDelay = 500;
// A real network file holds a few kilobytes; a larger one is not parsed at all.
constexpr size_t kMaxNetworkFileBytes = size_t{1} << 20;
constexpr int kMaxOnlineOfflineDelay = 1000;

std::string_view TrimBlanks(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// Decimal digits only (blanks around them allowed); nothing for signs, hex, garbage or a
// number too large for int.
std::optional<int> ParseDecimal(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty()) return std::nullopt;
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text[0] == '-') {
    return std::nullopt;
  }
  return value;
}

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

bool IsTerminalRange(int von, int bis) {
  return InRange(von, kMinTerminalNr, kMaxTerminalNr) &&
         InRange(bis, kMinTerminalNr, kMaxTerminalNr) && bis >= von;
}

// A group name is a key of the file: it must survive the key parsing unchanged.
bool FitsAsKey(const std::string& name) {
  return FitsNetworkFile(name) && !name.empty() && name.find('=') == std::string::npos &&
         name.front() != ';' && name.front() != '[' && TrimBlanks(name).size() == name.size();
}

// The first `limit` fields of a comma-separated value; the rest is not looked at.
std::vector<std::string> SplitAtCommas(std::string_view text, size_t limit) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (fields.size() < limit) {
    const size_t comma = text.find(',', start);
    fields.emplace_back(text.substr(start, comma - start));
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
  return fields;
}

struct Entry {
  std::string key;
  std::string value;
};

// The section's keys with their values in file order, as the profile reader sees them: the
// first of repeated keys counts, one pair of enclosing quotes is removed from a value. At most
// kMaxNetworkEntries.
std::vector<Entry> ReadEntries(const IniDocument& doc, const char* section) {
  std::vector<Entry> entries;
  std::set<std::string> seen;
  for (const std::string& line : doc.SectionLines(section)) {
    if (entries.size() >= kMaxNetworkEntries) break;
    const size_t eq = line.find('=');
    Entry entry{line.substr(0, eq), line.substr(eq + 1)};
    if (!seen.insert(FoldCase(entry.key)).second) continue;
    std::string& v = entry.value;
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    entries.push_back(std::move(entry));
  }
  return entries;
}

bool LoadTerminals(const IniDocument& doc, TMultiSat& net) {
  for (Entry& entry : ReadEntries(doc, kSectionTerminals)) {
    const auto nr = ParseDecimal(entry.key);
    if (!nr || !InRange(*nr, kMinTerminalNr, kMaxTerminalNr)) return false;
    // "07" after "7": the first counts, as the file can keep only one of them.
    const auto same = [&](const auto& term) { return term->Nr == *nr; };
    if (std::any_of(net.Terminals.begin(), net.Terminals.end(), same)) continue;
    auto term = std::make_unique<TOneTerm>();
    term->Nr = *nr;
    term->Name = std::move(entry.value);
    net.Terminals.push_back(std::move(term));
  }
  return true;
}

bool LoadSatellites(const IniDocument& doc, TMultiSat& net) {
  for (const Entry& entry : ReadEntries(doc, kSectionSatellites)) {
    const auto nr = ParseDecimal(entry.key);
    if (!nr || !InRange(*nr, kMinSatelliteId, kMaxSatelliteId)) return false;
    const std::vector<std::string> fields = SplitAtCommas(entry.value, 3);
    if (fields.size() < 3) return false;
    const auto von = ParseDecimal(fields[1]);
    const auto bis = ParseDecimal(fields[2]);
    if (!von || !bis || !IsTerminalRange(*von, *bis)) return false;
    if (net.FindSatellite(*nr) != nullptr) continue;  // "05" after "5": the first counts
    auto sat = std::make_unique<TOneSat>();
    sat->Nr = *nr;
    sat->Name = fields[0];
    sat->VonTerm = *von;
    sat->BisTerm = *bis;
    net.Satellites.push_back(std::move(sat));
  }
  return true;
}

// Groups refer to satellites by ID; an ID without a satellite is left out.
bool LoadGroups(const IniDocument& doc, TMultiSat& net) {
  for (const Entry& entry : ReadEntries(doc, kSectionGroups)) {
    auto group = std::make_unique<TOneGrp>();
    group->Name = entry.key;
    for (const std::string& field : SplitAtCommas(entry.value, kMaxNetworkEntries)) {
      if (field.empty()) break;
      const auto id = ParseDecimal(field);
      if (!id) return false;
      TOneSat* sat = net.FindSatellite(*id);
      if (sat == nullptr) continue;
      if (std::find(group->SatList.begin(), group->SatList.end(), sat) == group->SatList.end()) {
        group->SatList.push_back(sat);
      }
    }
    net.Groups.push_back(std::move(group));
  }
  return true;
}

int ReadOption(const IniDocument& doc, const char* key, int def) {
  const auto value = doc.Get(kSectionOptions, key);
  return value ? ParseInt(*value).value_or(def) : def;
}

// An out-of-range pause falls back to its default, not to the nearer bound.
int PauseOrDefault(int value, int low, int high, int def) {
  return InRange(value, low, high) ? value : def;
}

bool LoadOptions(const IniDocument& doc, TMultiSat& net) {
  net.TermIdBeforeData = ReadOption(doc, kKeyTermIdBeforeData, 1) != 0;
  net.DeleteDuplicates = ReadOption(doc, kKeyDeleteDuplicates, 1) != 0;
  net.WithCounter = ReadOption(doc, kKeyWithCounter, 1) != 0;
  net.SatCmdDelay = PauseOrDefault(ReadOption(doc, kKeySatCmdDelay, kDefaultSatCmdDelay),
                                   kDefaultSatCmdDelay, kMaxSatCmdDelay, kDefaultSatCmdDelay);
  net.OnlineOfflineDelay = PauseOrDefault(
      ReadOption(doc, kKeyOnlineOfflineDelay, kDefaultOnlineOfflineDelay),
      kDefaultOnlineOfflineDelay, kMaxOnlineOfflineDelay, kDefaultOnlineOfflineDelay);
  net.DebugFile.clear();
  if (ReadOption(doc, kKeyDebug, 0) != 0) {
    const size_t keep = net.IniName.size() >= 4 ? net.IniName.size() - 4 : 0;
    net.DebugFile = net.IniName.substr(0, keep) + kDebugFileSuffix;
  }
  net.Debuglevel = ReadOption(doc, kKeyDebuglevel, 0);
  return true;
}

std::string JoinSatelliteIds(const TOneGrp& group) {
  std::string ids;
  for (const TOneSat* sat : group.SatList) {
    if (!ids.empty()) ids += ',';
    ids += std::to_string(sat->Nr);
  }
  return ids;
}

void SaveSections(const TMultiSat& net, IniDocument& doc) {
  doc.EraseSection(kSectionTerminals);
  for (const auto& term : net.Terminals) {
    doc.Set(kSectionTerminals, std::to_string(term->Nr), QuotedForGet(term->Name));
  }
  doc.EraseSection(kSectionSatellites);
  for (const auto& sat : net.Satellites) {
    doc.Set(kSectionSatellites, std::to_string(sat->Nr),
            sat->Name + "," + std::to_string(sat->VonTerm) + "," + std::to_string(sat->BisTerm));
  }
  doc.EraseSection(kSectionGroups);
  for (const auto& group : net.Groups)
    doc.Set(kSectionGroups, group->Name, JoinSatelliteIds(*group));
  doc.EraseSection(kSectionOptions);
  doc.Set(kSectionOptions, kKeyTermIdBeforeData, net.TermIdBeforeData ? "1" : "0");
  doc.Set(kSectionOptions, kKeyDeleteDuplicates, net.DeleteDuplicates ? "1" : "0");
  doc.Set(kSectionOptions, kKeyWithCounter, net.WithCounter ? "1" : "0");
  doc.Set(kSectionOptions, kKeySatCmdDelay, std::to_string(net.SatCmdDelay));
  doc.Set(kSectionOptions, kKeyOnlineOfflineDelay, std::to_string(net.OnlineOfflineDelay));
  doc.Set(kSectionOptions, kKeyDebuglevel, std::to_string(net.Debuglevel));
  if (!net.DebugFile.empty()) doc.Set(kSectionOptions, kKeyDebug, "1");
}

template <class T>
bool EraseRecord(std::vector<std::unique_ptr<T>>& list, const T* record) {
  const auto it = std::find_if(list.begin(), list.end(),
                               [record](const auto& owned) { return owned.get() == record; });
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

template <class T>
int IndexFromListText(const std::vector<std::unique_ptr<T>>& list, const std::string& text,
                      size_t digits) {
  const auto nr = ParseDecimal(std::string_view(text).substr(0, digits));
  if (!nr) return -1;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i]->Nr == *nr) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

bool FitsNetworkFile(const std::string& name) {
  return name.find_first_of(",|\r\n") == std::string::npos;
}

std::string DefaultNetworkFile(const std::string& portText, const std::string& programDir) {
  std::string port = portText.substr(0, portText.find(':'));
  std::replace(port.begin(), port.end(), '/', '_');
  return programDir + "Tembra_" + port + ".ini";
}

// ---- file -----------------------------------------------------------------------------------

bool TMultiSat::SetIniName(const std::string& name, const std::string& programDir) {
  std::string path = name.find('/') == std::string::npos ? programDir + name : name;
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower.find(".ini") == std::string::npos) path += ".ini";
  IniName = std::move(path);
  return Load();
}

void TMultiSat::Reset() {
  Groups.clear();
  Satellites.clear();
  Terminals.clear();
  DebugFile.clear();
  TermIdBeforeData = WithCounter = DeleteDuplicates = false;
  SatCmdDelay = OnlineOfflineDelay = Debuglevel = 0;
}

bool TMultiSat::Load() {
  Reset();
  const std::optional<std::string> bytes = ReadWholeFile(IniName, kMaxNetworkFileBytes);
  if (!bytes && errno != ENOENT) return false;
  const IniDocument doc = bytes ? IniDocument::Parse(*bytes) : IniDocument();
  return LoadTerminals(doc, *this) && LoadSatellites(doc, *this) && LoadGroups(doc, *this) &&
         LoadOptions(doc, *this);
}

bool TMultiSat::Save() const {
  return IniFile(IniName).Update([this](IniDocument& doc) { SaveSections(*this, doc); });
}

// ---- lookups --------------------------------------------------------------------------------

TOneGrp* TMultiSat::FindGroup(const std::string& name) const {
  for (const auto& group : Groups) {
    if (group->Name == name) return group.get();
  }
  return nullptr;
}

bool TMultiSat::GroupNameInUse(const std::string& name) const {
  return std::any_of(Groups.begin(), Groups.end(),
                     [&](const auto& group) { return EqualsNoCase(group->Name, name); });
}

std::string TMultiSat::NewGroupName() const {
  for (size_t n = 1;; ++n) {
    std::string name = kNewGroupPrefix + std::to_string(n);
    if (!GroupNameInUse(name)) return name;
  }
}

bool TMultiSat::AnyGroupWithSatellites() const {
  return std::any_of(Groups.begin(), Groups.end(),
                     [](const auto& group) { return !group->SatList.empty(); });
}

TOneSat* TMultiSat::FindSatellite(int nr) const {
  for (const auto& sat : Satellites) {
    if (sat->Nr == nr) return sat.get();
  }
  return nullptr;
}

int TMultiSat::SatelliteIndexFromListText(const std::string& text) const {
  return IndexFromListText(Satellites, text, 2);
}

TOneSat* TMultiSat::SatelliteFromListText(const std::string& text) const {
  const int index = SatelliteIndexFromListText(text);
  return index < 0 ? nullptr : Satellites[static_cast<size_t>(index)].get();
}

int TMultiSat::TerminalIndexFromListText(const std::string& text) const {
  return IndexFromListText(Terminals, text, 3);
}

TOneTerm* TMultiSat::TerminalFromListText(const std::string& text) const {
  const int index = TerminalIndexFromListText(text);
  return index < 0 ? nullptr : Terminals[static_cast<size_t>(index)].get();
}

// ---- numbering ------------------------------------------------------------------------------

bool TMultiSat::UsedAsSatellite(int nr) const { return FindSatellite(nr) != nullptr; }

bool TMultiSat::UsedAsTerminal(int nr) const {
  return std::any_of(Terminals.begin(), Terminals.end(),
                     [nr](const auto& term) { return term->Nr == nr; });
}

int TMultiSat::FreeSatelliteId() const { return NextSatelliteId(0, true); }

int TMultiSat::NextSatelliteId(int current, bool up) const {
  const int step = up ? 1 : -1;
  // Start inside the range, so that a current value far outside it costs nothing.
  long long n = std::clamp<long long>(static_cast<long long>(current) + step, kMinSatelliteId - 1,
                                      kMaxSatelliteId + 1);
  for (; InRange(static_cast<int>(n), kMinSatelliteId, kMaxSatelliteId); n += step) {
    const int id = static_cast<int>(n);
    if (!UsedAsSatellite(id) && !UsedAsTerminal(id)) return id;
  }
  return current;
}

int TMultiSat::NextTerminalNr(int current, bool up) const {
  const int step = up ? 1 : -1;
  long long n = std::clamp<long long>(static_cast<long long>(current) + step, kMinTerminalNr - 1,
                                      kMaxTerminalNr + 1);
  for (; InRange(static_cast<int>(n), kMinTerminalNr, kMaxTerminalNr); n += step) {
    if (!UsedAsSatellite(static_cast<int>(n))) return static_cast<int>(n);
  }
  return current;
}

// ---- editing --------------------------------------------------------------------------------

TOneSat* TMultiSat::AddSatellite(int nr, const std::string& name, int von, int bis) {
  if (!InRange(nr, kMinSatelliteId, kMaxSatelliteId) || UsedAsSatellite(nr)) return nullptr;
  if (!FitsNetworkFile(name) || !IsTerminalRange(von, bis)) return nullptr;
  auto sat = std::make_unique<TOneSat>();
  sat->Nr = nr;
  sat->Name = name;
  sat->VonTerm = von;
  sat->BisTerm = bis;
  Satellites.push_back(std::move(sat));
  return Satellites.back().get();
}

bool TMultiSat::EditSatellite(TOneSat& sat, const std::string& name, int von, int bis) {
  if (!FitsNetworkFile(name) || !IsTerminalRange(von, bis)) return false;
  sat.Name = name;
  sat.VonTerm = von;
  sat.BisTerm = bis;
  return true;
}

bool TMultiSat::DeleteSatellite(const TOneSat* sat) {
  if (sat == nullptr || FindSatellite(sat->Nr) != sat) return false;
  for (auto& group : Groups) std::erase(group->SatList, sat);
  return EraseRecord(Satellites, sat);
}

TOneTerm* TMultiSat::AddTerminal(int nr, const std::string& name) {
  if (!InRange(nr, kMinTerminalNr, kMaxTerminalNr) || !FitsNetworkFile(name)) return nullptr;
  auto term = std::make_unique<TOneTerm>();
  term->Nr = nr;
  term->Name = name;
  Terminals.push_back(std::move(term));
  return Terminals.back().get();
}

bool TMultiSat::EditTerminal(TOneTerm& term, int nr, const std::string& name) {
  if (!InRange(nr, kMinTerminalNr, kMaxTerminalNr) || !FitsNetworkFile(name)) return false;
  term.Nr = nr;
  term.Name = name;
  return true;
}

bool TMultiSat::DeleteTerminal(const TOneTerm* term) { return EraseRecord(Terminals, term); }

TOneGrp* TMultiSat::AddGroup(const std::string& name) {
  if (!FitsAsKey(name) || GroupNameInUse(name)) return nullptr;
  auto group = std::make_unique<TOneGrp>();
  group->Name = name;
  Groups.push_back(std::move(group));
  return Groups.back().get();
}

bool TMultiSat::RenameGroup(TOneGrp& group, const std::string& name) {
  if (!FitsAsKey(name)) return false;
  // Only a change of letter case may keep a name that counts as in use.
  const bool ownName = EqualsNoCase(group.Name, name);
  if (!ownName && GroupNameInUse(name)) return false;
  group.Name = name;
  return true;
}

bool TMultiSat::DeleteGroup(const TOneGrp* group) { return EraseRecord(Groups, group); }

bool TMultiSat::AddToGroup(TOneGrp& group, TOneSat* sat) {
  if (sat == nullptr || FindSatellite(sat->Nr) != sat) return false;
  if (std::find(group.SatList.begin(), group.SatList.end(), sat) == group.SatList.end()) {
    group.SatList.push_back(sat);
  }
  return true;
}

}  // namespace quillon
