// Loading a port: defaults, the repair of missing or unusable values, the "|" lists and the
// numbered lists.
#include <functional>
#include <tuple>

#include "common/format.h"
#include "common/texts.h"
#include "settings_fixture.h"

namespace quillon::test {
namespace {

TEST_F(SettingsTest, EmptyFileIsRepairedOncePerPresentPort) {
  app_.GlobalApp.PortPresent[1] = app_.GlobalApp.PortPresent[3] = true;
  store_.CreatePortLists();

  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[0].kind, MessageKind::Information);
  EXPECT_EQ(ui_.messages[0].text, Format(txt::kSettingsRepaired, 1));
  EXPECT_EQ(ui_.messages[1].text, Format(txt::kSettingsRepaired, 3));
  EXPECT_EQ(Get("Einstellungen", "Letze Konfiguration"), "-3");
  for (const char* section : {"Schnittstellenparameter", "Datenparameter", "Dateienparameter",
                              "Verarbeitung", "Pollingparameter", "Modemparameter",
                              "TCP/IP-Parameter", "Optionen", "AckNak-Einstellungen"}) {
    for (int n : {1, 2, 3}) {
      const bool present = IniFile(ini()).Load().HasSection(Format("%s für COM%d:", section, n));
      EXPECT_EQ(present, n != 2) << section << " COM" << n;
    }
  }
  // The file holds each key under its exact name with its default.
  const std::vector<std::array<std::string, 3>> written = {
      {kS1, "Baudrate", "9600"},
      {kS1, "Parität", "0"},
      {kS1, "Zeichenverzögerung", "0"},
      {"Dateienparameter für COM1:", "Dateiname", dir_.File("Daten.dat")},
      {"Dateienparameter für COM1:", "Stellenanzahl fortlfd. Nr.", "1"},
      {"Datenparameter für COM1:", "MDE-Uhr-Sync-Timeout", "2000"},
      {"Verarbeitung für COM1:", "Programm", ""},
      {kS5, "Länge Pollingadresse", "6"},
      {kS5, "Pollingtakt", "500"},
      {kS6, "Initialisierung", "ATZ^MATLQ0S0=0S12=255S21=32^M"},
      {kS6, "Auflegen", "+++~~~ATH0^M"},
      {kS6, "Interne Paßwortliste benutzen", "0"},
      {kS6, "Modemstatus-Pollzeit", "2"},
      {kS7, "Status", "0|0"},
      {kS7, "TCP/IP-Sockets", "|0"},
      {kS7, "FTP", "||||10000|"},
      {"Optionen für COM1:", "Sendeheader mit Datei-Informationen", "1"},
      {"Optionen für COM1:", "Protokolldatei", "1"},
      {"AckNak-Einstellungen für COM1:", "Sendetimeout", "30000"},
      {"Allgemeine Programmoptionen", "Autostart", "0"},
      {"Einstellungen", "Protokolldrucker", "0"}};
  for (const auto& [section, key, value] : written) {
    EXPECT_EQ(Get(section, key), value) << section << " / " << key;
  }
  EXPECT_EQ(Get("Allgemeine Programmoptionen", "Velmar"), "<fehlt>") << "never written";
  EXPECT_EQ(app_.PortSettings[1].PortName, "COM1:");
  EXPECT_EQ(app_.PortSettings[1].FileName, dir_.File("Daten.dat"));
  EXPECT_EQ(app_.PortSettings[2].PortName, "") << "absent port stays zeroed";
  EXPECT_EQ(app_.GlobalApp.ExtLogIndex, -1);

  ui_.messages.clear();
  EXPECT_TRUE(store_.LoadPortSettings(SettingsSlot::Live, 1));
  EXPECT_TRUE(ui_.messages.empty());
}

// One stored value: what it loads as and whether the load reports it missing.
struct ValueCase {
  std::string section, key, stored, expected;
  bool reported;
  std::function<std::string(const AppContext&)> field;
};

std::string Int(int v) { return std::to_string(v); }

TEST_F(SettingsTest, StoredValuesLoadOrAreReplacedByTheirDefault) {
  const auto com1 = [](auto member) {
    return [member](const AppContext& a) {
      if constexpr (std::is_same_v<decltype(a.PortSettings[1].*member), const std::string&>) {
        return a.PortSettings[1].*member;
      } else {
        return Int(a.PortSettings[1].*member);
      }
    };
  };
  const std::string s3 = "Dateienparameter für COM1:", s4 = "Verarbeitung für COM1:";
  const std::vector<ValueCase> cases = {
      {kS1, "Baudrate", "-1", "9600", true, com1(&TQuillonOpt::Baudrate)},
      {kS1, "Baudrate", "9601", "9600", true, com1(&TQuillonOpt::Baudrate)},
      {kS1, "Baudrate", " 19200 ", "19200", false, com1(&TQuillonOpt::Baudrate)},
      {kS1, "Datenbits", "8abc", "8", true, com1(&TQuillonOpt::DataBits)},
      {kS1, "Parität", "99999999999", "0", true, com1(&TQuillonOpt::Parity)},
      {kS1, "Parität", "4", "4", false, com1(&TQuillonOpt::Parity)},
      {kS1, "Aktiviert", "2", "1", false, com1(&TQuillonOpt::Enabled)},
      {kS1, "Aktiviert", "-1", "0", true, com1(&TQuillonOpt::Enabled)},
      {kS5, "Länge Pollingadresse", "0", "6", true, com1(&TQuillonOpt::PollAddrLen)},
      {kS5, "Länge Pollingadresse", "5", "5", false, com1(&TQuillonOpt::PollAddrLen)},
      {kS5, "Pollingtakt", "99", "500", true, com1(&TQuillonOpt::PollInterval)},
      {"AckNak-Einstellungen für COM1:", "Empfangstimeout", "-5", "1000", true,
       com1(&TQuillonOpt::AckNakRxTimeout)},
      {s3, "Erste fortlfd. Nr.", "-4", "0", false, com1(&TQuillonOpt::FirstSeqNo)},
      {s3, "Erste fortlfd. Nr.", "77", "77", false, com1(&TQuillonOpt::FirstSeqNo)},
      {s3, "Dateiname", "", dir_.File("Daten.dat"), true, com1(&TQuillonOpt::FileName)},
      {s4, "Programm", "", "", false, com1(&TQuillonOpt::ProgramCall)},
      {s4, "Programm", "?", "", true, com1(&TQuillonOpt::ProgramCall)},
      {kS6, "Klingeln", "?", "RING", true, com1(&TQuillonOpt::ModemRing)},
      {kS6, "Interne Paßwortliste benutzen", "-1", "1", false,
       com1(&TQuillonOpt::UseModemPasswords)},
      {"Allgemeine Programmoptionen", "Autostart", "1", "1", false,
       [](const AppContext& a) { return Int(a.GlobalApp.Autostart); }},
      {"Allgemeine Programmoptionen", "Velmar", "1", "1", false,
       [](const AppContext& a) { return Int(a.GlobalApp.ModemSendReady); }},
  };
  for (const ValueCase& c : cases) {
    std::filesystem::remove(ini());
    MakeComplete();
    Set(c.section, c.key, c.stored);
    const std::string legend = c.key + "=" + c.stored;

    EXPECT_EQ(store_.LoadPortSettings(SettingsSlot::Live, 1), !c.reported) << legend;
    EXPECT_EQ(c.field(app_), c.expected) << legend;
    EXPECT_EQ(ui_.messages.size(), c.reported ? 1u : 0u) << legend;
    if (c.reported) {
      EXPECT_EQ(Get(c.section, c.key), c.expected) << legend << " repaired";
    }
    ui_.messages.clear();
  }
}

TEST_F(SettingsTest, ForwardingListsSplitAtBars) {
  // "Status", "TCP/IP-Sockets", "FTP" as stored; the fields as loaded; reported?
  const std::vector<std::tuple<std::string, std::string, std::string, std::string, bool>> cases = {
      {"1|1", "10.0.0.5|4000", "|||", "1 1 10.0.0.5 4000 ||||0|", false},
      {"abc", "10.0.0.5|x", "host|user|pw|A|15000|in", "0 0 10.0.0.5 0 host|user|pw|A|15000|in",
       false},
      {"1|2", "|0", "host|user|pw", "1 2  0 host|user|pw||0|", false},
      {"1|7", "", "", "0 0  0 ||||10000|", true},
      {"", "|0", "h", "0 0  0 h||||0|", false},
  };
  MakeComplete();
  for (const auto& [status, tcp, ftp, expected, reported] : cases) {
    Set(kS7, "Status", status);
    Set(kS7, "TCP/IP-Sockets", tcp);
    Set(kS7, "FTP", ftp);
    const std::string legend = status + " / " + tcp + " / " + ftp;
    EXPECT_EQ(store_.LoadPortSettings(SettingsSlot::Live, 1), !reported) << legend;
    const TQuillonOpt& o = app_.PortSettings[1];
    EXPECT_EQ(Int(o.NetActive) + " " + Int(o.NetKind) + " " + o.TcpAddress + " " + Int(o.TcpPort) +
                  " " + o.FtpHost + "|" + o.FtpUser + "|" + o.FtpPassword + "|" + o.FtpMode + "|" +
                  Int(o.FtpTimeout) + "|" + o.FtpDir,
              expected)
        << legend;
  }
}

TEST_F(SettingsTest, NumberedListsOfAddressesAndPasswords) {
  MakeComplete();
  Set(kS5, "Geräteadresse 1", "b");
  Set(kS5, "Geräteadresse 2", "A");
  Set(kS5, "Geräteadresse 3", "a");
  Set(kS5, "Geräteadresse 5", "after-gap");
  Set(kS6, "Paßwort1", "ab=cd");
  Set(kS6, "Paßwort7", "xyz");
  Set(kS6, "paßwort3", "lower case key is no password");
  EXPECT_TRUE(store_.LoadPortSettings(SettingsSlot::Live, 1));
  EXPECT_EQ(app_.PortSettings[1].PollAddresses, (std::vector<std::string>{"A", "b"}))
      << "sorted, duplicate ignored, stops at the gap";
  EXPECT_EQ(app_.PortSettings[1].ModemPasswords, (std::vector<std::string>{"ab", "xyz"}));

  // Saving renumbers both lists and drops what is no longer in them.
  app_.PortSettings[1].PollAddresses = {"c"};
  ASSERT_TRUE(store_.SavePortSettings(SettingsSlot::Live, 1));
  const IniDocument doc = IniFile(ini()).Load();
  EXPECT_EQ(doc.SectionKeys(kS5),
            (std::vector<std::string>{"Polling", "Pollingtakt", "Länge Pollingadresse",
                                      "Geräteadresse 1"}));
  EXPECT_EQ(doc.Get(kS6, "Paßwort1"), "ab");
  EXPECT_EQ(doc.Get(kS6, "Paßwort2"), "xyz");
  EXPECT_EQ(doc.SectionKeys(kS6).size(), 13u) << "eleven keys and two passwords";
}

}  // namespace
}  // namespace quillon::test
