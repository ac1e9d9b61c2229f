#include "radio/multi_sat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::TempDir;
using test::WriteBytes;

struct LoadCase {
  const char* what;
  std::string file;  // empty: no file at all
  bool ok;
  size_t terminals, satellites, groups;
  int satCmdDelay, onlineOfflineDelay;
  bool options;  // the three booleans
};

// Options as constructed: the section "Optionen" was never reached.
constexpr int kUnread = 0;

TEST(MultiSatLoad, SectionsDefaultsAndFailures) {
  const std::vector<LoadCase> cases = {
      {"missing file", "", true, 0, 0, 0, 70, 130, true},
      {"full",
       "[Terminals]\r\n3=T\r\n[Satelliten]\r\n1=A,1,5\r\n2=B,6,9\r\n[Gruppen]\r\n"
       "G=1,2\r\n[Optionen]\r\nMin. Pause zwischen Sat-Befehlen=200\r\n"
       "Min. Pause zwischen Sat-Statuswechsel=1000\r\nDaten mit Protokollzähler=0\r\n",
       true, 1, 2, 1, 200, 1000, false},
      {"pauses out of range fall back to the default",
       "[Optionen]\nMin. Pause zwischen "
       "Sat-Befehlen=600\nMin. Pause zwischen Sat-Statuswechsel=100\n",
       true, 0, 0, 0, 70, 130, true},
      {"comma in a satellite name",
       "[Satelliten]\n1=A,1,5\n2=Nord,Ost,1,5\n3=C,1,5\n"
       "[Gruppen]\nG=1\n",
       false, 0, 1, 0, kUnread, kUnread, false},
      {"satellite ID 0", "[Satelliten]\n0=A,1,5\n", false, 0, 0, 0, kUnread, kUnread, false},
      {"satellite ID 100", "[Satelliten]\n100=A,1,5\n", false, 0, 0, 0, kUnread, kUnread, false},
      {"range beyond 100", "[Satelliten]\n1=A,1,101\n", false, 0, 0, 0, kUnread, kUnread, false},
      {"range reversed", "[Satelliten]\n1=A,9,5\n", false, 0, 0, 0, kUnread, kUnread, false},
      {"huge number", "[Satelliten]\n1=A,1,99999999999999999999999\n", false, 0, 0, 0, kUnread,
       kUnread, false},
      {"hex terminal key", "[Terminals]\n1=A\n0x5=B\n[Satelliten]\n1=A,1,5\n", false, 1, 0, 0,
       kUnread, kUnread, false},
      {"terminal 101", "[Terminals]\n101=A\n", false, 0, 0, 0, kUnread, kUnread, false},
      {"group with garbage ID", "[Satelliten]\n1=A,1,5\n[Gruppen]\nG=1\nH=1,x\n", false, 0, 1, 1,
       kUnread, kUnread, false},
      {"repeated satellite ID: the first counts", "[Satelliten]\n5=A,1,5\n05=B,1,5\n", true, 0, 1,
       0, 70, 130, true},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    if (!c.file.empty()) WriteBytes(dir.File("net.ini"), c.file);
    TMultiSat net;
    EXPECT_EQ(net.SetIniName("net", dir.path() + "/"), c.ok);
    EXPECT_EQ(net.TerminalCount(), c.terminals);
    EXPECT_EQ(net.SatelliteCount(), c.satellites);
    EXPECT_EQ(net.GroupCount(), c.groups);
    EXPECT_EQ(net.SatCmdDelay, c.satCmdDelay);
    EXPECT_EQ(net.OnlineOfflineDelay, c.onlineOfflineDelay);
    EXPECT_EQ(net.TermIdBeforeData && net.DeleteDuplicates && net.WithCounter, c.options);
  }
}

TEST(MultiSatLoad, GroupsSkipMissingSatellitesAndDebugFileFollowsIniName) {
  TempDir dir;
  WriteBytes(dir.File("net.ini"),
             "[Satelliten]\n1=A,1,5\n3=C,1,5\n[Gruppen]\nG=7,3,,1\nLeer=\n"
             "[Optionen]\nDebug=1\nDebuglevel=2\n");
  TMultiSat net;
  ASSERT_TRUE(net.SetIniName(dir.File("net.ini"), "/elsewhere/"));
  ASSERT_EQ(net.GroupCount(), 2u);
  EXPECT_EQ(net.Groups[0]->SatList, (std::vector<TOneSat*>{net.FindSatellite(3)}))
      << "ID 7 has no satellite; the empty field ends the list";
  EXPECT_TRUE(net.Groups[1]->SatList.empty());
  EXPECT_EQ(net.DebugFile, dir.File("net-Debug.txt"));
  EXPECT_EQ(net.Debuglevel, 2);
}

TEST(MultiSatLoad, HostileFileLoadsBounded) {
  std::string many = "[Gruppen]\n";
  for (int i = 0; i < 5000; ++i) many += "G" + std::to_string(i) + "=1,2,3\n";
  std::string garbage = "[Satelliten\n==\n[]\n=x\n[Terminals]\n";
  for (int i = 0; i < 4000; ++i) garbage += static_cast<char>((i * 37) % 256);
  for (const std::string& file : {many, garbage}) {
    TempDir dir;
    WriteBytes(dir.File("net.ini"), file);
    TMultiSat net;
    (void)net.SetIniName("net.ini", dir.path() + "/");
    EXPECT_LE(net.GroupCount(), kMaxNetworkEntries);
    EXPECT_LE(net.TerminalCount(), kMaxNetworkEntries);
  }
}

TEST(MultiSatFile, SaveLoadRoundTrip) {
  TempDir dir;
  TMultiSat net;
  ASSERT_TRUE(net.SetIniName("net", dir.path() + "/"));
  ASSERT_NE(net.AddTerminal(4, "Kasse"), nullptr);
  TOneSat* a = net.AddSatellite(1, "Halle Süd", 1, 20);
  TOneSat* b = net.AddSatellite(12, "", 21, 100);
  TOneGrp* g = net.AddGroup("Früh");
  ASSERT_TRUE(a && b && g && net.AddGroup("Leer"));
  ASSERT_TRUE(net.AddToGroup(*g, b) && net.AddToGroup(*g, a));
  net.WithCounter = false;
  net.SatCmdDelay = 120;
  net.OnlineOfflineDelay = 900;
  net.Debuglevel = 1;
  net.DebugFile = "x";
  ASSERT_TRUE(net.Save());

  TMultiSat back;
  ASSERT_TRUE(back.SetIniName("net.ini", dir.path() + "/"));
  ASSERT_EQ(back.TerminalCount(), 1u);
  EXPECT_EQ(back.Terminals[0]->Name, "Kasse");
  ASSERT_EQ(back.SatelliteCount(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(back.Satellites[i]->Nr, net.Satellites[i]->Nr);
    EXPECT_EQ(back.Satellites[i]->Name, net.Satellites[i]->Name);
    EXPECT_EQ(back.Satellites[i]->VonTerm, net.Satellites[i]->VonTerm);
    EXPECT_EQ(back.Satellites[i]->BisTerm, net.Satellites[i]->BisTerm);
  }
  ASSERT_EQ(back.GroupCount(), 2u);
  EXPECT_EQ(back.Groups[0]->Name, "Früh");
  EXPECT_EQ(back.Groups[0]->SatList,
            (std::vector<TOneSat*>{back.FindSatellite(12), back.FindSatellite(1)}));
  EXPECT_TRUE(back.Groups[1]->SatList.empty());
  EXPECT_FALSE(back.WithCounter);
  EXPECT_TRUE(back.TermIdBeforeData);
  EXPECT_EQ(back.SatCmdDelay, 120);
  EXPECT_EQ(back.OnlineOfflineDelay, 900);
  EXPECT_EQ(back.Debuglevel, 1);
  EXPECT_FALSE(back.DebugFile.empty());
}

TEST(MultiSatFile, CommaNameWrittenPastTheSetterFailsOnReload) {
  TempDir dir;
  TMultiSat net;
  ASSERT_TRUE(net.SetIniName("net", dir.path() + "/"));
  TOneSat* sat = net.AddSatellite(2, "Nord", 1, 5);
  ASSERT_NE(sat, nullptr);
  sat->Name = "Nord,Ost";
  ASSERT_TRUE(net.Save());
  EXPECT_FALSE(net.Load());
  EXPECT_EQ(net.SatelliteCount(), 0u);
}

TEST(MultiSatEdit, NamesTheFileCannotHoldAreRefused) {
  for (const std::string name : {"a,b", "a|b", "a\rb", "a\nb"}) {
    TMultiSat net;
    EXPECT_FALSE(FitsNetworkFile(name));
    EXPECT_EQ(net.AddSatellite(1, name, 1, 5), nullptr);
    EXPECT_EQ(net.AddTerminal(1, name), nullptr);
    EXPECT_EQ(net.AddGroup(name), nullptr);
  }
  TMultiSat net;
  for (const std::string key : {"", "a=b", "[x]", ";x", " x"}) {
    EXPECT_EQ(net.AddGroup(key), nullptr) << key;
  }
  TOneSat* sat = net.AddSatellite(1, "ok", 1, 5);
  ASSERT_NE(sat, nullptr);
  EXPECT_EQ(net.AddSatellite(1, "again", 1, 5), nullptr) << "ID in use";
  EXPECT_FALSE(net.EditSatellite(*sat, "ok", 6, 5));
  EXPECT_FALSE(net.EditSatellite(*sat, "a,b", 1, 5));
}

TEST(MultiSatEdit, GroupNamesIgnoreCaseAndDeletedSatellitesLeaveGroups) {
  TMultiSat net;
  TOneGrp* first = net.AddGroup("Gruppe 1");
  ASSERT_TRUE(first && net.AddGroup("Gruppe 3"));
  EXPECT_EQ(net.NewGroupName(), "Gruppe 2");
  EXPECT_TRUE(net.GroupNameInUse("GRUPPE 3"));
  EXPECT_EQ(net.AddGroup("gruppe 3"), nullptr);
  EXPECT_FALSE(net.RenameGroup(*first, "GRUPPE 3"));
  EXPECT_TRUE(net.RenameGroup(*first, "GRUPPE 1")) << "its own name in other letter case";
  EXPECT_EQ(net.FindGroup("gruppe 1"), nullptr) << "lookup is exact";

  TOneSat* sat = net.AddSatellite(7, "S", 1, 5);
  ASSERT_TRUE(sat && net.AddToGroup(*first, sat) && net.AddToGroup(*net.Groups[1], sat));
  EXPECT_TRUE(net.AnyGroupWithSatellites());
  EXPECT_TRUE(net.DeleteSatellite(sat));
  EXPECT_FALSE(net.AnyGroupWithSatellites());
  EXPECT_EQ(net.SatelliteCount(), 0u);
}

TEST(MultiSatNumbering, FreeAndNextNumbers) {
  TMultiSat net;
  EXPECT_EQ(net.NextTerminalNr(0, true), 1);
  for (int nr = 1; nr <= 50; ++nr) ASSERT_NE(net.AddSatellite(nr, "S", 1, 1), nullptr);
  for (int nr = 52; nr <= 99; ++nr) ASSERT_NE(net.AddTerminal(nr, "T"), nullptr);
  EXPECT_EQ(net.FreeSatelliteId(), 51);
  EXPECT_EQ(net.NextSatelliteId(10, true), 51);
  EXPECT_EQ(net.NextSatelliteId(60, false), 51);
  EXPECT_EQ(net.NextSatelliteId(60, true), 60) << "none above";
  EXPECT_EQ(net.NextTerminalNr(0, true), 51);
  EXPECT_EQ(net.NextTerminalNr(99, true), 100);
  EXPECT_EQ(net.NextTerminalNr(100, true), 100);
  ASSERT_NE(net.AddTerminal(51, "T"), nullptr);
  EXPECT_EQ(net.FreeSatelliteId(), 0) << "all of 1..99 taken";
  EXPECT_EQ(net.NextSatelliteId(-2000000000, true), -2000000000);

  EXPECT_EQ(net.SatelliteFromListText("07:S"), net.FindSatellite(7));
  EXPECT_EQ(net.SatelliteIndexFromListText("xx:S"), -1);
  EXPECT_EQ(net.TerminalIndexFromListText("053:T"), 1);
}

TEST(MultiSatFile, Names) {
  EXPECT_EQ(DefaultNetworkFile("COM3:9600,N,8,1", "/p/"), "/p/Tembra_COM3.ini");
  EXPECT_EQ(DefaultNetworkFile("../x", "/p/"), "/p/Tembra_.._x.ini");
  TMultiSat net;
  (void)net.SetIniName("Netz.INI", "/nowhere/");
  EXPECT_EQ(net.IniName, "/nowhere/Netz.INI");
  (void)net.SetIniName("/nowhere/sub/netz", "/p/");
  EXPECT_EQ(net.IniName, "/nowhere/sub/netz.ini");
}

}  // namespace
}  // namespace quillon
