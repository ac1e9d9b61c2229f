// Fuzz target: the radio network's file. The input is the file as it may lie beside the
// program, hand-edited or damaged. Whatever it holds, the network read from it keeps to its
// limits (IDs, terminal numbers and ranges, entries per section, pauses), groups only point to
// satellites of the network; and a network that was read whole, saved and read again is the same.
#include <set>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "radio/multi_sat.h"

namespace {

using namespace quillon;
using fuzz::Check;

void CheckLimits(const TMultiSat& net, bool whole) {
  Check(net.SatelliteCount() <= kMaxNetworkEntries && net.TerminalCount() <= kMaxNetworkEntries &&
        net.GroupCount() <= kMaxNetworkEntries);
  std::set<int> ids;
  for (const auto& sat : net.Satellites) {
    Check(sat->Nr >= kMinSatelliteId && sat->Nr <= kMaxSatelliteId && ids.insert(sat->Nr).second);
    Check(sat->VonTerm >= kMinTerminalNr && sat->VonTerm <= sat->BisTerm &&
          sat->BisTerm <= kMaxTerminalNr);
    // A name is cut at the first comma and ends with its line ("|" is refused only when typed).
    Check(sat->Name.find_first_of(",\r\n") == std::string::npos);
  }
  for (const auto& term : net.Terminals) {
    Check(term->Nr >= kMinTerminalNr && term->Nr <= kMaxTerminalNr);
  }
  for (const auto& group : net.Groups) {
    const std::set<const TOneSat*> members(group->SatList.begin(), group->SatList.end());
    Check(members.size() == group->SatList.size());
    for (const TOneSat* sat : group->SatList) Check(net.FindSatellite(sat->Nr) == sat);
  }
  // A file that failed leaves the options unread.
  if (!whole) return;
  Check(net.SatCmdDelay >= kDefaultSatCmdDelay && net.SatCmdDelay <= 500);
  Check(net.OnlineOfflineDelay >= kDefaultOnlineOfflineDelay && net.OnlineOfflineDelay <= 1000);
}

// Everything the file keeps, as text.
std::vector<std::string> Dump(const TMultiSat& net) {
  std::vector<std::string> out;
  for (const auto& term : net.Terminals)
    out.push_back("T" + std::to_string(term->Nr) + "=" + term->Name);
  for (const auto& sat : net.Satellites) {
    out.push_back("S" + std::to_string(sat->Nr) + "=" + sat->Name + "," +
                  std::to_string(sat->VonTerm) + "," + std::to_string(sat->BisTerm));
  }
  for (const auto& group : net.Groups) {
    std::string line = "G" + group->Name + "=";
    for (const TOneSat* sat : group->SatList) line += std::to_string(sat->Nr) + ",";
    out.push_back(line);
  }
  out.push_back(std::to_string(net.TermIdBeforeData) + std::to_string(net.WithCounter) +
                std::to_string(net.DeleteDuplicates) + "|" + std::to_string(net.SatCmdDelay) + "|" +
                std::to_string(net.OnlineOfflineDelay) + "|" + std::to_string(net.Debuglevel) +
                "|" + net.DebugFile);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz::ScratchFile file("Tembra_COM1.ini", fuzz::Text(data, size));
  TMultiSat net;
  net.IniName = file.path();
  const bool whole = net.Load();
  CheckLimits(net, whole);
  if (!whole) return 0;
  Check(net.Save());
  TMultiSat again;
  again.IniName = file.path();
  Check(again.Load());
  Check(Dump(again) == Dump(net));
  return 0;
}
