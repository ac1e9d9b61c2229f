#pragma once
// The configuration of one radio network: its groups of satellites, the satellites with the
// terminal ranges they relay, the stationary terminals on the same line, the options and pauses,
// and the profile file "Tembra_<port>.ini" they are kept in.
//
// One TMultiSat exists per open network; the setup dialog edits it in place and the line thread
// keeps its run-time state (Active, LastContact, Online, Polling, NewBios, Baud) in the records.
// The object itself does no locking: whoever shares it between threads serialises the access.
//
// The file is untrusted: numbers are parsed strictly, satellite IDs must be 1..99, terminal
// numbers and ranges 1..100, at most kMaxNetworkEntries entries are read per section (and as
// many satellite IDs per group), and a file over 1 MiB is not read at all.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

inline constexpr int kMinSatelliteId = 1;
inline constexpr int kMaxSatelliteId = 99;
inline constexpr int kMinTerminalNr = 1;
inline constexpr int kMaxTerminalNr = 100;
inline constexpr int kDefaultSatCmdDelay = 70;
inline constexpr int kDefaultOnlineOfflineDelay = 130;
inline constexpr int kDefaultSatelliteBaud = 9600;
// More entries than any real network has; the rest of a section is not read.
inline constexpr size_t kMaxNetworkEntries = 1000;

struct TOneSat {
  int32_t Nr = 0;  // 1..99, on the wire Nr + 100
  std::string Name;
  int32_t VonTerm = 0;                   // first terminal relayed, 1..100
  int32_t BisTerm = 0;                   // last terminal relayed, VonTerm..100
  uint64_t LastContact = 0;              // run time: Clock() of its last answer
  bool Online = false;                   // run time: the last command to it succeeded
  bool Polling = false;                  // run time: it was last told to poll its terminals
  int32_t Baud = kDefaultSatelliteBaud;  // sent to it when it is initialised
  bool NewBios = false;                  // run time: BIOS 6.2 or newer
};

struct TOneGrp {
  std::string Name;               // unique ignoring letter case
  std::vector<TOneSat*> SatList;  // owned by TMultiSat::Satellites
  bool Active = false;            // run time
};

struct TOneTerm {
  int32_t Nr = 0;  // 1..100, addressed on the line by this bare number
  std::string Name;
};

struct TSatTimings {
  int32_t satCmdDelay = 0;
  int32_t onlineOfflineDelay = 0;
};

// False for names the network file cannot hold: "," and "|" split its values, CR and LF end
// its lines.
bool FitsNetworkFile(const std::string& name);

// programDir + "Tembra_" + the port text up to its first ":" + ".ini". A "/" in the port text
// becomes "_", so the file always lies in programDir.
std::string DefaultNetworkFile(const std::string& portText, const std::string& programDir);

class TMultiSat {
 public:
  TMultiSat() = default;
  TMultiSat(const TMultiSat&) = delete;
  TMultiSat& operator=(const TMultiSat&) = delete;

  std::vector<std::unique_ptr<TOneGrp>> Groups;
  std::vector<std::unique_ptr<TOneSat>> Satellites;
  std::vector<std::unique_ptr<TOneTerm>> Terminals;
  std::string IniName;
  std::string DebugFile;  // satellite-line debug file; empty = none
  bool TermIdBeforeData = false;
  bool WithCounter = false;
  bool DeleteDuplicates = false;
  int32_t SatCmdDelay = 0;         // ms
  int32_t OnlineOfflineDelay = 0;  // ms
  int32_t Debuglevel = 0;
  int32_t LastSatNr = 1;
  int32_t LastTermNr = 1;
  int32_t LastVonTerm = 0;  // 0: no range entered yet
  int32_t LastBisTerm = 0;

  // A name without "/" is placed in programDir (which ends in "/"); ".ini" is appended unless
  // the lower-cased name contains it. Stores the result in IniName and loads it.
  bool SetIniName(const std::string& name, const std::string& programDir);
  // Replaces every record and option by the content of IniName. Reads "Terminals",
  // "Satelliten", "Gruppen" and "Optionen" in this order and stops at the first section that
  // does not parse: what was read before stays, the rest keeps its empty values. A missing file
  // gives empty lists and the option defaults. False when a section failed or the file exists
  // but cannot be read (or is over 1 MiB).
  bool Load();
  // Rewrites the four sections of IniName in one atomic replacement of the file; other content
  // of the file stays.
  [[nodiscard]] bool Save() const;

  size_t GroupCount() const { return Groups.size(); }
  size_t SatelliteCount() const { return Satellites.size(); }
  size_t TerminalCount() const { return Terminals.size(); }
  TSatTimings Timings() const { return {SatCmdDelay, OnlineOfflineDelay}; }

  // Exact comparison; nullptr when there is none.
  TOneGrp* FindGroup(const std::string& name) const;
  // Comparison ignoring letter case.
  bool GroupNameInUse(const std::string& name) const;
  // "Gruppe " + the smallest n >= 1 not in use.
  std::string NewGroupName() const;
  bool AnyGroupWithSatellites() const;

  TOneSat* FindSatellite(int nr) const;
  // List texts show a satellite as 2 digits, ":" and its name, a terminal with 3 digits.
  TOneSat* SatelliteFromListText(const std::string& text) const;
  int SatelliteIndexFromListText(const std::string& text) const;  // -1 when not found
  TOneTerm* TerminalFromListText(const std::string& text) const;
  int TerminalIndexFromListText(const std::string& text) const;  // -1 when not found

  // The smallest 1..99 used neither as satellite ID nor as terminal number; 0 if none.
  int FreeSatelliteId() const;
  // The nearest free satellite ID beyond `current` in that direction within 1..99, or `current`.
  int NextSatelliteId(int current, bool up) const;
  // The nearest number beyond `current` within 1..100 not used as satellite ID, or `current`.
  // A new terminal gets NextTerminalNr(0, true).
  int NextTerminalNr(int current, bool up) const;

  // Editing. Each refuses (false / nullptr) a name the file cannot hold, a satellite ID outside
  // 1..99 or already in use, a terminal number outside 1..100, a range outside 1..100 or
  // reversed, and a group name in use (ignoring case) or unfit to be a key of the file.
  [[nodiscard]] TOneSat* AddSatellite(int nr, const std::string& name, int von, int bis);
  [[nodiscard]] bool EditSatellite(TOneSat& sat, const std::string& name, int von, int bis);
  // Removes the satellite from every group, then frees it. False when it is not in the list.
  bool DeleteSatellite(const TOneSat* sat);
  [[nodiscard]] TOneTerm* AddTerminal(int nr, const std::string& name);
  [[nodiscard]] bool EditTerminal(TOneTerm& term, int nr, const std::string& name);
  bool DeleteTerminal(const TOneTerm* term);
  [[nodiscard]] TOneGrp* AddGroup(const std::string& name);
  [[nodiscard]] bool RenameGroup(TOneGrp& group, const std::string& name);
  bool DeleteGroup(const TOneGrp* group);
  // Appends the satellite to the group unless it is there already; false for a satellite that
  // is not one of this network's.
  [[nodiscard]] bool AddToGroup(TOneGrp& group, TOneSat* sat);

 private:
  void Reset();
  bool UsedAsSatellite(int nr) const;
  bool UsedAsTerminal(int nr) const;
};

}  // namespace quillon
