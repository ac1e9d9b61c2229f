// Saving a port and repairing a damaged file: what survives, what is rewritten, the encodings
// and the failures.
#include <sys/stat.h>

#include "common/encoding.h"
#include "common/format.h"
#include "common/texts.h"
#include "settings_fixture.h"

namespace quillon::test {
namespace {

TEST_F(SettingsTest, RepairFlipsTheSlotAndRemembersTheSignedPort) {
  MakeComplete(2);
  Set("Schnittstellenparameter für COM2:", "Baudrate", "-1");
  EXPECT_FALSE(store_.LoadPortSettings(SettingsSlot::Live, 2));
  EXPECT_EQ(Get("Einstellungen", "Letze Konfiguration"), "-2");
  EXPECT_EQ(app_.PortSettings[0].PortName, "COM2:") << "live load finishes with the edit copy";

  app_.PortSettings[0].Baudrate = 4800;
  ASSERT_TRUE(store_.SavePortSettings(SettingsSlot::Edit, 2));
  EXPECT_EQ(Get("Einstellungen", "Letze Konfiguration"), "2");
  EXPECT_EQ(store_.GetCopySourcePort(3), 2) << "COM3 was never configured";
  EXPECT_EQ(store_.GetCopySourcePort(2), -1);
  EXPECT_FALSE(store_.SavePortSettings(SettingsSlot::Edit, 9));
  EXPECT_FALSE(store_.LoadPortSettings(SettingsSlot::Live, 0));
  EXPECT_EQ(Get("Einstellungen", "Letze Konfiguration"), "2") << "no port, nothing written";
}

TEST_F(SettingsTest, PollingWithoutAddressesIsSavedOff) {
  MakeComplete();
  app_.PortSettings[1].PollEnabled = true;
  ASSERT_TRUE(store_.SavePortSettings(SettingsSlot::Live, 1));
  EXPECT_EQ(Get(kS5, "Polling"), "0");
  app_.PortSettings[1].PollEnabled = true;
  app_.PortSettings[1].PollAddresses = {"12345"};
  ASSERT_TRUE(store_.SavePortSettings(SettingsSlot::Live, 1));
  EXPECT_EQ(Get(kS5, "Polling"), "1");
}

TEST_F(SettingsTest, DamagedFileLoadsDefaultsAndKeepsTheUsersKeys) {
  using namespace std::string_literals;
  WriteBytes(
      "garbage without equals\n[unclosed\n=value without key\n"
      "[Schnittstellenparameter f\xFCr COM1:]\n\x01\x02\xff\xfe=\x80\x81\n"
      "Baudrate=19200\nBaudrate=4800\nDatenbits=99999999999999999999\n"
      "Stopbits=-2147483649\nParit\xE4t=\0\0\nEigener Schl\xFCssel=bleibt\n"
      "[Schnittstellenparameter f\xFCr COM1:]\nZeichenverz\xF6gerung=5\n"
      "[Eigene Sektion]\nx=1\n[Pollingparameter f\xFCr COM1:]\nPollingtakt=5000000000\n"s);
  EXPECT_FALSE(store_.LoadPortSettings(SettingsSlot::Live, 1));
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, Format(txt::kSettingsRepaired, 1));
  const TQuillonOpt& o = app_.PortSettings[1];
  EXPECT_EQ(o.Baudrate, 19200) << "the first of repeated keys counts";
  EXPECT_EQ(o.DataBits, 8);
  EXPECT_EQ(o.StopBits, 1);
  EXPECT_EQ(o.CharDelay, 0) << "a repeated section is not read";
  EXPECT_EQ(o.PollInterval, 500);
  EXPECT_EQ(Get(kS1, "Eigener Schlüssel"), "bleibt");
  EXPECT_EQ(Get("Eigene Sektion", "x"), "1");
  ui_.messages.clear();
  EXPECT_TRUE(store_.LoadPortSettings(SettingsSlot::Live, 1));
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(SettingsTest, ReadOnlyFileFailsOncePerSaveAndKeepsMemory) {
  MakeComplete();
  app_.PortSettings[1].Baudrate = 19200;
  app_.PortSettings[1].PollAddresses = {"1", "2"};
  const TQuillonOpt before = app_.PortSettings[1];
  ASSERT_EQ(chmod(ini().c_str(), 0444), 0);
  const std::string bytes = Bytes();
  const std::string saveFailed = Format(txt::kSettingsSaveFailed, ini());

  for (int call = 1; call <= 2; ++call) {
    EXPECT_FALSE(store_.SavePortSettings(SettingsSlot::Live, 1));
    EXPECT_EQ(ui_.Count(saveFailed), call);
  }
  EXPECT_EQ(Bytes(), bytes);
  const TQuillonOpt& after = app_.PortSettings[1];
  EXPECT_EQ(after.Baudrate, before.Baudrate);
  EXPECT_EQ(after.PollAddresses, before.PollAddresses);
  EXPECT_EQ(after.FileName, before.FileName);

  // A damaged read-only file: the repair cannot write, the load still ends.
  ui_.messages.clear();
  ASSERT_EQ(chmod(ini().c_str(), 0644), 0);
  Set(kS1, "Baudrate", "-1");
  ASSERT_EQ(chmod(ini().c_str(), 0444), 0);
  EXPECT_FALSE(store_.LoadPortSettings(SettingsSlot::Live, 1));
  EXPECT_EQ(ui_.Count(saveFailed), 1);
  EXPECT_EQ(ui_.Count(Format(txt::kSettingsRepaired, 1)), 1);
}

TEST_F(SettingsTest, FileThatCannotBeReadIsNeverWritten) {
  MakeComplete();
  const std::string bytes = Bytes();
  app_.GlobalApp.PortPresent[1] = true;
  ASSERT_EQ(chmod(ini().c_str(), 0200), 0);
  {
    WithoutPermissionOverride asOwner;
    store_.CreatePortLists();  // finds every key missing and tries to repair the file
    EXPECT_FALSE(store_.WriteLastExtLog(2, CivilDate{2024, 5, 1}));
    EXPECT_FALSE(store_.WriteSetupPassword("neu"));
    EXPECT_FALSE(store_.WriteLastSendFile({"daten.txt", 1, 0}));
  }
  ASSERT_EQ(chmod(ini().c_str(), 0644), 0);
  EXPECT_EQ(Bytes(), bytes);
  EXPECT_EQ(ui_.Count(Format(txt::kSettingsSaveFailed, ini())), 1);
}

TEST_F(SettingsTest, Windows1252FileIsRewrittenByteForByte) {
  const std::string before =
      "[Einstellungen]\r\nLetze Konfiguration=-1\r\nVerzeichnis f\xFCr externe Protokolldatei=\r\n"
      "Anzahl externer Protokolldateien=0\r\nProtokolldrucker=0\r\n\r\n"
      "[Schnittstellenparameter f\xFCr COM1:]\r\n; eigener Kommentar\r\nBaudrate=9600\r\n"
      "Datenbits=8\r\nParit\xE4t=2\r\nStopbits=1\r\nZeichenverz\xF6gerung=0\r\nAktiviert=1\r\n"
      "Notiz=\xC4nderung\r\n\r\n"
      "[Datenparameter f\xFCr COM1:]\r\nProtokoll=0\r\nHeader=1\r\nTypzeichen=1\r\n"
      "MDE-Uhr-Synchronisation=0\r\nMDE-Uhr-Sync-Timeout=2000\r\n\r\n"
      "[Dateienparameter f\xFCr COM1:]\r\nDateiname=/daten/M\xFCller.dat\r\nDateimodus=0\r\n"
      "Erste fortlfd. Nr.=0\r\nStellenanzahl fortlfd. Nr.=1\r\n\r\n"
      "[Verarbeitung f\xFCr COM1:]\r\nProgramm=\r\nAufrufmodus=0\r\n\r\n"
      "[TCP/IP-Parameter f\xFCr COM1:]\r\nStatus=0|0\r\nTCP/IP-Sockets=|0\r\nFTP=||||10000|\r\n\r\n"
      "[Optionen f\xFCr COM1:]\r\nProtokolldatei=1\r\nDatens\xE4tze mit CR/LF=0\r\n"
      "Sendeheader mit Datei-Informationen=1\r\n\r\n"
      "[Allgemeine Programmoptionen]\r\nAutostart=0\r\n\r\n"
      "[AckNak-Einstellungen f\xFCr COM1:]\r\nEmpfangstimeout=1000\r\nSendetimeout=30000\r\n\r\n"
      "[Pollingparameter f\xFCr COM1:]\r\nPolling=1\r\nPollingtakt=500\r\n"
      "L\xE4nge Pollingadresse=6\r\nGer\xE4teadresse 1=12345\r\n\r\n"
      "[Modemparameter f\xFCr COM1:]\r\nModem=0\r\nInitialisierung=ATZ^M\r\nKlingeln=RING\r\n"
      "Anruf entgegennehmen=ATA^M\r\nVerbindung=CONNECT\r\nAuflegen=+++~~~ATH0^M\r\nOK=OK\r\n"
      "Modemstatus-Pollzeit=2\r\nExterne Pa\xDFwortdatei benutzen=0\r\nExterne Pa\xDFwortdatei=\r\n"
      "Interne Pa\xDFwortliste benutzen=1\r\nPa\xDFwort1=geheim\r\n";
  WriteBytes(before);
  ASSERT_TRUE(store_.LoadPortSettings(SettingsSlot::Live, 1));
  EXPECT_EQ(app_.PortSettings[1].Parity, 2);
  EXPECT_EQ(app_.PortSettings[1].FileName, "/daten/Müller.dat");
  EXPECT_EQ(app_.PortSettings[1].PollAddresses, std::vector<std::string>{"12345"});

  app_.PortSettings[1].Parity = 1;
  ASSERT_TRUE(store_.SavePortSettings(SettingsSlot::Live, 1));
  std::string expected = before;
  const std::string changed = "Parit\xE4t=2";
  expected.replace(expected.find(changed), changed.size(), "Parit\xE4t=1");
  EXPECT_EQ(Bytes(), expected);
}

TEST_F(SettingsTest, Utf8FileStaysUtf8) {
  WriteBytes(
      "[Schnittstellenparameter für COM1:]\nParität=2\n"
      "[Pollingparameter für COM1:]\nGeräteadresse 1=Straße\n");
  EXPECT_FALSE(store_.LoadPortSettings(SettingsSlot::Live, 1)) << "the other keys are missing";
  EXPECT_EQ(app_.PortSettings[1].Parity, 2);
  EXPECT_EQ(app_.PortSettings[1].PollAddresses, std::vector<std::string>{"Straße"});
  const std::string after = Bytes();
  EXPECT_TRUE(IsValidUtf8(after));
  EXPECT_NE(after.find("Parität=2\n"), std::string::npos);
  EXPECT_NE(after.find("Geräteadresse 1=Straße\n"), std::string::npos);
  EXPECT_NE(after.find("Interne Paßwortliste benutzen=0\n"), std::string::npos);
}

}  // namespace
}  // namespace quillon::test
