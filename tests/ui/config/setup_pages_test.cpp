// The pages of a port: what each control writes into the settings file and which controls a
// choice enables or disables.
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>

#include "config/ui/elided_label.h"
#include "setup_dialog_fixture.h"
#include "support/ftp_server.h"

namespace quillon::test {
namespace {

class SetupPages : public SetupDialogTest {
 protected:
  void SetUp() override {
    SetupDialogTest::SetUp();
    Configured(1);
    Open();
    Click("CfgBtn1");
  }
  void Save() {
    Click("OkBtn");
    ASSERT_EQ(form_->EditPort(), 0);
  }
  void Drop(const char* field, const std::vector<std::string>& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p));
    data.setUrls(urls);
    QWidget* target = Find<QWidget>(field);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    ASSERT_TRUE(drop.isAccepted());
  }
};

TEST_F(SetupPages, QuorbusDisablesModemAndAckNakAndShowsTheRadioNetworkButton) {
  Click("ModemAktiv");
  ASSERT_TRUE(app_.PortSettings[0].ModemEnabled);
  EXPECT_FALSE(Enabled("PollStatus")) << "no polling through a modem";
  EXPECT_TRUE(Find<QWidget>("FunkNetzConfigBtn")->isHidden());

  Choose("Protokoll", 1);
  EXPECT_FALSE(Find<QWidget>("FunkNetzConfigBtn")->isHidden());
  EXPECT_FALSE(Enabled("FunkNetzConfigBtn")) << "no radio network setup given to open";
  std::string networkPort;
  int networkBaud = 0;
  form_->SetRadioNetworkAction([&](QWidget*, const std::string& port, int baud) {
    networkPort = port;
    networkBaud = baud;
  });
  ASSERT_TRUE(Enabled("FunkNetzConfigBtn"));
  Click("FunkNetzConfigBtn");
  EXPECT_EQ(networkPort, "COM1:");
  EXPECT_EQ(networkBaud, 9600);
  EXPECT_TRUE(Find<QRadioButton>("ModemNichtAktiv")->isChecked());
  EXPECT_FALSE(Enabled("ModemAktiv"));
  EXPECT_FALSE(Enabled("ModemNichtAktiv"));
  EXPECT_FALSE(Enabled("ModemInitStr"));
  EXPECT_FALSE(Enabled("AckNakRxTO"));
  EXPECT_FALSE(Enabled("AckNakTxTo"));
  EXPECT_FALSE(Enabled("Header"));
  EXPECT_FALSE(Enabled("SyncUhr"));
  EXPECT_FALSE(Enabled("PollStatus"));

  Choose("Protokoll", 0);
  EXPECT_TRUE(Find<QWidget>("FunkNetzConfigBtn")->isHidden());
  EXPECT_TRUE(Enabled("ModemAktiv"));
  EXPECT_TRUE(Enabled("AckNakRxTO"));
  EXPECT_TRUE(Enabled("PollStatus")) << "the modem went off with the radio network";
  EXPECT_FALSE(Enabled("Timeout")) << "clock time-out only with synchronisation";
  Choose("SyncUhr", 1);
  EXPECT_TRUE(Enabled("Timeout"));

  Choose("Protokoll", 1);
  Save();
  EXPECT_EQ(Get(S2(1), "Protokoll"), "1");
  EXPECT_EQ(Get("Modemparameter für COM1:", "Modem"), "0");
}

TEST_F(SetupPages, DeviceFamilyFourLoadsItsLineSettings) {
  Choose("Parity", 2);
  Choose("CharDelayTxt", 3);
  Choose("Protokoll", 2);
  Choose("StdParameter", 3);
  EXPECT_EQ(Shown("Baud"), "38400");
  EXPECT_EQ(Shown("Data"), "8");
  EXPECT_EQ(Shown("Parity"), "keine");
  EXPECT_EQ(Shown("Stop"), "1");
  EXPECT_EQ(Shown("CharDelayTxt"), "aus");
  Choose("StdParameter", 1);
  EXPECT_EQ(Shown("Parity"), "gerade");
  EXPECT_EQ(Shown("CharDelayTxt"), "mittel");
  Choose("StdParameter", 3);
  Save();
  EXPECT_EQ(Get(S1(1), "Baudrate"), "38400");
  EXPECT_EQ(Get(S1(1), "Datenbits"), "8");
  EXPECT_EQ(Get(S1(1), "Parität"), "0");
  EXPECT_EQ(Get(S1(1), "Stopbits"), "1");
  EXPECT_EQ(Get(S1(1), "Zeichenverzögerung"), "0");
  EXPECT_EQ(Get(S2(1), "Protokoll"), "2") << "a preset keeps the protocol";
}

TEST_F(SetupPages, PollAddressesPaddedUniqueAndDeletedBySelection) {
  EXPECT_FALSE(Enabled("PollAdrList"));
  Choose("PollStatus", 1);
  EXPECT_TRUE(Enabled("PollAdrList"));
  Choose("PollAdrLen", 0);
  auto* number = Find<QSpinBox>("NewAdr");
  number->setValue(42);
  Click("InsertAdrBtn");
  EXPECT_EQ(number->value(), 43);
  number->setValue(42);
  answers_.Press("okButton");
  Click("InsertAdrBtn");
  EXPECT_EQ(LastBox(), "Pollingadresse schon vergeben !");
  number->setValue(7);
  Click("InsertAdrBtn");
  number->setValue(123456);
  Click("InsertAdrBtn");
  auto* list = Find<QListWidget>("PollAdrList");
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->item(0)->text().toStdString(), "***") << "six digits do not fit in five";
  EXPECT_EQ(list->item(1)->text().toStdString(), "00007");
  EXPECT_EQ(list->item(2)->text().toStdString(), "00042");

  list->item(0)->setSelected(true);
  list->item(1)->setSelected(true);
  Click("DeleteAdrBtn");
  ASSERT_EQ(list->count(), 1);
  EXPECT_EQ(list->item(0)->text().toStdString(), "00042");
  Find<QSpinBox>("PollTakt")->setValue(1200);
  Save();
  EXPECT_EQ(Get(S5(1), "Polling"), "1");
  EXPECT_EQ(Get(S5(1), "Länge Pollingadresse"), "5");
  EXPECT_EQ(Get(S5(1), "Pollingtakt"), "1200");
  EXPECT_EQ(Get(S5(1), "Geräteadresse 1"), "00042");
  EXPECT_EQ(Get(S5(1), "Geräteadresse 2"), "<fehlt>");

  Click("CfgBtn1");
  list = Find<QListWidget>("PollAdrList");
  list->item(0)->setSelected(true);
  Click("DeleteAdrBtn");
  answers_.Press("okButton");
  Click("DeleteAdrBtn");
  EXPECT_EQ(LastBox(), "Es sind keine Pollingadressen zum Löschen vorhanden !");
}

TEST_F(SetupPages, FtpTestConnectionRunsInTheBackgroundAndShowsWhatTheServerSaid) {
  FtpServer server;
  ASSERT_TRUE(server.running());
  server.MakeDir("in/2024");
  ShowPage("TCPIP");
  answers_.Press("okButton");
  Choose("FTPStatus", 1);
  Type("FTPHost", server.host());
  Type("FTPUserID", server.user());
  Type("FTPPw", server.password());
  Type("FTPRootEdit", "in/2024");

  Click("TestFTPBtn");
  EXPECT_FALSE(Enabled("TestFTPBtn")) << "while the test runs";
  QPlainTextEdit* text = nullptr;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return (text = form_->findChild<QPlainTextEdit*>("TranscriptText")) != nullptr; },
      20000));
  EXPECT_TRUE(text->isReadOnly());
  EXPECT_TRUE(text->toPlainText().contains("230")) << "logged in";
  EXPECT_TRUE(text->toPlainText().contains("CWD 2024"));
  EXPECT_TRUE(Enabled("TestFTPBtn"));
}

TEST_F(SetupPages, TcpAndFtpExcludeEachOtherAndWarnAboutTheFileMode) {
  ShowPage("TCPIP");
  EXPECT_FALSE(Enabled("TCPIPAdr"));
  EXPECT_FALSE(Enabled("FTPHost"));
  answers_.Press("okButton");
  Choose("TCPIPStatus", 1);
  EXPECT_EQ(answers_.seen().back().title, "Warnung");
  EXPECT_NE(LastBox().find("Im Dateimodus \"überschreiben\""), std::string::npos);
  EXPECT_TRUE(Enabled("TCPIPAdr"));
  Type("TCPIPAdr", "10.0.0.5");
  Type("TCPIPPort", "4000");

  answers_.Press("okButton");
  Choose("FTPStatus", 1);
  EXPECT_EQ(Shown("TCPIPStatus"), "inaktiv");
  EXPECT_FALSE(Enabled("TCPIPAdr"));
  EXPECT_TRUE(Enabled("FTPHost"));
  EXPECT_TRUE(Enabled("TestFTPBtn"));
  EXPECT_TRUE(app_.PortSettings[0].NetActive);
  EXPECT_EQ(app_.PortSettings[0].NetKind, 2);
  Type("FTPHost", "  ftp.example.org ");
  Choose("FTPModus", 0);

  // The file mode: "anhängen" warns, "fortlaufend" does not.
  ShowPage("Dateien");
  answers_.Press("okButton");
  Choose("Modus", 1);
  EXPECT_NE(LastBox().find("Im Dateimodus \"anhängen\""), std::string::npos);
  Choose("Modus", 2);
  EXPECT_EQ(answers_.seen().size(), 3u);

  // Choosing "inaktiv" for TCP/IP, which is off already, leaves FTP on.
  ShowPage("TCPIP");
  Choose("TCPIPStatus", 0);
  EXPECT_EQ(Shown("FTPStatus"), "aktiv");
  Save();
  EXPECT_EQ(Get(S7(1), "Status"), "1|2");
  EXPECT_EQ(Get(S7(1), "TCP/IP-Sockets"), "10.0.0.5|4000");
  EXPECT_EQ(Get(S7(1), "FTP"), "ftp.example.org|||A|10000|");

  // A time-out the field does not offer (0 in a file edited by hand) is shown and saved as it
  // is; once the user picks one, the field offers its own range again.
  ASSERT_TRUE(IniFile(app_.AppInfo.IniPath).WriteString(S7(1), "FTP", "ftp.example.org|||A|0|"));
  Click("CfgBtn1");
  ShowPage("TCPIP");
  auto* timeout = Find<QSpinBox>("FTPTO");
  EXPECT_EQ(timeout->value(), 0);
  Choose("FTPStatus", 0);
  EXPECT_FALSE(app_.PortSettings[0].NetActive);
  EXPECT_EQ(app_.PortSettings[0].NetKind, 0);
  EXPECT_EQ(Find<QLineEdit>("TCPIPAdr")->text().toStdString(), "10.0.0.5") << "shown again";
  Save();
  EXPECT_EQ(Get(S7(1), "FTP"), "ftp.example.org|||A|0|");
  Click("CfgBtn1");
  timeout->stepUp();
  timeout->stepDown();
  EXPECT_EQ(app_.PortSettings[0].FtpTimeout, 1000);
}

TEST_F(SetupPages, EnterMovesOnAndAFullAddressJumpsToThePort) {
  ShowPage("TCPIP");
  answers_.Press("okButton");
  Choose("TCPIPStatus", 1);
  Type("TCPIPAdr", "192.168.100.200");
  EXPECT_EQ(app_.PortSettings[0].TcpAddress, "192.168.100.200");
  EXPECT_EQ(Focused(), "TCPIPPort");
  auto* port = Find<QLineEdit>("TCPIPPort");
  port->selectAll();
  QTest::keyClick(port, Qt::Key_Delete);
  answers_.Press("okButton");
  QTest::keyClick(port, Qt::Key_Return);
  QTest::qWait(20);
  EXPECT_EQ(LastBox(), "'' ist kein gültiger Integerwert");
  EXPECT_EQ(app_.PortSettings[0].TcpPort, 0) << "unchanged";

  answers_.Press("okButton");
  Choose("FTPStatus", 1);
  Activate();
  Find<QLineEdit>("FTPHost")->setFocus();
  QTest::keyClick(Find<QWidget>("FTPHost"), Qt::Key_Return);
  EXPECT_EQ(Focused(), "FTPUserID");
}

TEST_F(SetupPages, RequiredModemFieldsAndPasswordLists) {
  ShowPage("Modem");
  Click("ModemAktiv");
  Activate();
  auto* init = Find<QLineEdit>("ModemInitStr");
  init->setFocus();
  init->selectAll();
  QTest::keyClick(init, Qt::Key_Delete);
  answers_.Press("okButton");
  QTest::keyClick(init, Qt::Key_Tab);
  QTest::qWait(50);
  EXPECT_EQ(LastBox(), "In diesem Feld wird eine Eingabe benötigt !");
  EXPECT_EQ(Focused(), "ModemInitStr") << "back into the empty field";
  Type("ModemInitStr", "ATZ^M");

  // "Anruf annehmen" may stay empty.
  auto* answer = Find<QLineEdit>("ModemAnnehmen");
  answer->setFocus();
  answer->selectAll();
  QTest::keyClick(answer, Qt::Key_Delete);
  QTest::keyClick(answer, Qt::Key_Tab);
  QTest::qWait(50);
  EXPECT_EQ(answers_.seen().size(), 1u);

  Click("ModemPWCheckBox");
  auto* passwords = Find<QPlainTextEdit>("ModemPWList");
  passwords->setPlainText("eins\nzwei=drei\n");
  Drop("ModemPWFile", {dir_.File("pw.txt")});
  Save();
  const std::string s6 = "Modemparameter für COM1:";
  EXPECT_EQ(Get(s6, "Modem"), "1");
  EXPECT_EQ(Get(s6, "Initialisierung"), "ATZ^M");
  EXPECT_EQ(Get(s6, "Anruf entgegennehmen"), "");
  EXPECT_EQ(Get(s6, "Interne Paßwortliste benutzen"), "1");
  EXPECT_EQ(Get(s6, "Paßwort1"), "eins");
  EXPECT_EQ(Get(s6, "Paßwort2"), "zwei=drei");
  EXPECT_EQ(Get(s6, "Paßwort3"), "<fehlt>");
  EXPECT_EQ(Get(s6, "Externe Paßwortdatei"), dir_.File("pw.txt"));
}

TEST_F(SetupPages, FileNamePreviewPlaceholdersAndDroppedFiles) {
  ShowPage("Dateien");
  EXPECT_FALSE(Find<QWidget>("AnzStellen")->isVisible());
  Choose("Modus", 2);
  EXPECT_TRUE(Find<QWidget>("AnzStellen")->isVisible());
  Find<QSpinBox>("AnzStellen")->setValue(3);
  Find<QSpinBox>("ErsteLfdNr")->setValue(7);
  auto* name = Find<QLineEdit>("Datei");
  name->setText("/daten/auftrag_.dat");
  name->setCursorPosition(static_cast<int>(std::string("/daten/auftrag_").size()));
  auto* menu = Find<QMenu>("PlatzhalterMenu");
  QAction* sequential = menu->actions().front();
  EXPECT_EQ(sequential->text().toStdString(), "Fortlaufende Nr.");
  sequential->trigger();
  EXPECT_EQ(name->text().toStdString(), "/daten/auftrag_%lfd.dat");
  EXPECT_EQ(app_.PortSettings[0].FileName, "/daten/auftrag_%lfd.dat");
  auto* preview = Find<ElidedLabel>("KplDatei");
  EXPECT_EQ(preview->FullText().toStdString(), "/daten/auftrag_007.dat");

  // Date placeholders are expanded; a long name is shortened in the middle.
  menu->actions().at(8)->trigger();  // "Kalenderwoche"
  EXPECT_EQ(name->text().toStdString(), "/daten/auftrag_%lfd%kw.dat");
  EXPECT_EQ(preview->FullText().size(), QString("/daten/auftrag_00712.dat").size());
  name->setText(QString("/sehr/langer/pfad/").repeated(12) + "ende.dat");
  emit name->textEdited(name->text());
  EXPECT_TRUE(preview->text().contains(QChar(0x2026))) << preview->text().toStdString();
  EXPECT_TRUE(preview->text().endsWith("ende.dat"));

  Choose("Modus", 0);
  menu->popup(QPoint(0, 0));
  EXPECT_FALSE(sequential->isVisible()) << "the sequential number only in its mode";
  menu->hide();

  answers_.Press("okButton");
  Drop("Datei", {dir_.File("a.dat"), dir_.File("b.dat")});
  EXPECT_EQ(LastBox(), "Bitte nur eine Datei in das Eingabefeld ziehen!");
  Drop("Datei", {dir_.File("ziel.dat")});
  EXPECT_EQ(name->text().toStdString(), dir_.File("ziel.dat"));

  ShowPage("Verarbeitung");
  EXPECT_FALSE(Enabled("ExtExeAufruf"));
  Choose("ExtExeStatus", 2);
  EXPECT_TRUE(Enabled("ExtExeAufruf"));
  Drop("ExtExeAufruf", {"/usr/local/bin/nach"});
  Save();
  EXPECT_EQ(Get("Dateienparameter für COM1:", "Dateiname"), dir_.File("ziel.dat"));
  EXPECT_EQ(Get("Verarbeitung für COM1:", "Programm"), "/usr/local/bin/nach %datei %com");
  EXPECT_EQ(Get("Verarbeitung für COM1:", "Aufrufmodus"), "2");
}

TEST_F(SetupPages, ProgramWideOptionsActAtOnceAndTheLogbookDirectoryGetsItsSlash) {
  ShowPage("Optionen");
  EXPECT_FALSE(Enabled("ExtLogbuch"));
  Find<QSpinBox>("ExtLogbuchAnzTage")->setValue(7);
  EXPECT_TRUE(Enabled("ExtLogbuch"));
  Type("ExtLogbuch", "/var/log/quillon");
  QTest::keyClick(Find<QWidget>("ExtLogbuch"), Qt::Key_Tab);
  QTest::qWait(20);
  EXPECT_EQ(Find<QLineEdit>("ExtLogbuch")->text().toStdString(), "/var/log/quillon/");
  EXPECT_EQ(app_.GlobalApp.ExtLogDir, "/var/log/quillon/");
  Choose("PrgStart", 1);
  Choose("Protokolldrucker", 2);
  Choose("Logbuch", 3);
  EXPECT_TRUE(app_.GlobalApp.Autostart);

  // Discarding the port keeps the program-wide options in memory, not in the file.
  answers_.Press("noButton");
  Click("AbbrechenBtn");
  EXPECT_TRUE(app_.GlobalApp.Autostart);
  EXPECT_EQ(app_.GlobalApp.LogPrinter, 2);
  EXPECT_EQ(Get("Allgemeine Programmoptionen", "Autostart"), "0");
  EXPECT_EQ(Get("Optionen für COM1:", "Protokolldatei"), "1");
}

}  // namespace
}  // namespace quillon::test
