// The port selection of the setup dialog, entering and leaving a port's pages, and closing:
// what reaches the settings file on each way.
#include <QCheckBox>
#include <QPushButton>
#include <algorithm>

#include "config/ui/setup_entry.h"
#include "serial/serial_device_list.h"
#include "setup_dialog_fixture.h"

namespace quillon::test {
namespace {

using PortSelection = SetupDialogTest;

TEST_F(PortSelection, BoxesFollowPresenceAndFileAndButtonsFollowBoxes) {
  Configured(1);
  Configured(2);
  ASSERT_TRUE(IniFile(app_.AppInfo.IniPath).WriteString(S1(2), "Aktiviert", "0"));
  TQuillonSetupForm& form = Open();
  EXPECT_EQ(form.windowTitle().toStdString(), "Quillon - Setup");
  EXPECT_EQ(form.EditPort(), 0);
  EXPECT_FALSE(Find<QWidget>("OkBtn")->isVisible()) << "no button row on the selection";
  EXPECT_TRUE(Find<QCheckBox>("Com1ChkBox")->isChecked());
  EXPECT_TRUE(Enabled("CfgBtn1"));
  EXPECT_FALSE(Find<QCheckBox>("Com2ChkBox")->isChecked());
  EXPECT_FALSE(Enabled("CfgBtn2"));
  EXPECT_TRUE(Enabled("Com3ChkBox"));
  const auto devices = SystemSerialDevices();
  if (std::find(devices.begin(), devices.end(), "/dev/ttyS7") == devices.end()) {
    EXPECT_FALSE(Enabled("Com8ChkBox")) << "COM8 is not on this machine";
  }
  EXPECT_EQ(Find<QCheckBox>("Com3ChkBox")->text().toStdString(), "com&3:");

  // Unticking acts on the file at once and leaves the pages closed.
  Click("Com1ChkBox");
  EXPECT_EQ(Get(S1(1), "Aktiviert"), "0");
  EXPECT_FALSE(Enabled("CfgBtn1"));
  EXPECT_EQ(form.EditPort(), 0);
}

TEST_F(PortSelection, TickingANeverConfiguredPortOpensItsPagesAfterTheCopyQuestion) {
  Configured(1, "38400");
  ASSERT_TRUE(IniFile(app_.AppInfo.IniPath).WriteString(S1(1), "Aktiviert", "0"));
  TQuillonSetupForm& form = Open();
  answers_.Press("yesButton");
  Click("Com3ChkBox");
  ASSERT_EQ(BoxTexts(), std::vector<std::string>{"Die gleiche Konfiguration laden ?"});
  EXPECT_EQ(form.EditPort(), 3);
  EXPECT_EQ(form.windowTitle().toStdString(), "Quillon - Setup com3:");
  EXPECT_EQ(Shown("Baud"), "38400");
  EXPECT_EQ(Get(S1(3), "Baudrate"), "38400") << "the copy is in the file at once";
  EXPECT_EQ(Get(S1(3), "Aktiviert"), "1") << "the copied port keeps its own tick";
  EXPECT_EQ(Get(S1(1), "Aktiviert"), "0");
  EXPECT_TRUE(Find<QWidget>("OkBtn")->isVisible());
  EXPECT_FALSE(Enabled("UebernehmenBtn"));
  EXPECT_EQ(Find<QTabWidget>("PageControl")->currentIndex(), 0);
  EXPECT_TRUE(ui_.messages.empty()) << "a complete copy needs no repair";
}

TEST_F(PortSelection, DeclinedCopyOrNoDialogSaveBeforeGivesTheDefaults) {
  Configured(1, "38400");
  Open();
  answers_.Press("noButton");
  Click("Com2ChkBox");
  EXPECT_EQ(Shown("Baud"), "9600");
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_NE(ui_.messages[0].text.find("COM2:"), std::string::npos) << "repair note of COM2";
  Click("OkBtn");

  // The last save was a start-up repair (a negative port): nothing is offered.
  SettingsStore(app_, ui_).LoadPortSettings(SettingsSlot::Live, 4);
  Click("Com3ChkBox");
  EXPECT_EQ(form_->EditPort(), 3);
  EXPECT_EQ(answers_.seen().size(), 1u) << "no copy question";
}

TEST_F(PortSelection, CancelAsksAndNoLeavesTheFileAsItWas) {
  Configured(1);
  TQuillonSetupForm& form = Open();
  Click("CfgBtn1");
  const std::string before = FileBytes();
  Choose("Baud", 6);  // 19200
  EXPECT_TRUE(form.Modified());
  EXPECT_TRUE(Enabled("UebernehmenBtn"));

  answers_.Press("cancelButton");
  Click("AbbrechenBtn");
  EXPECT_EQ(form.EditPort(), 1) << "Abbrechen in the question keeps the port";
  EXPECT_TRUE(form.Modified());

  answers_.Press("noButton");
  Click("AbbrechenBtn");
  EXPECT_EQ(LastBox(), "Parameter abspeichern ?");
  EXPECT_EQ(form.EditPort(), 0);
  EXPECT_EQ(form.windowTitle().toStdString(), "Quillon - Setup");
  EXPECT_EQ(FileBytes(), before);
  EXPECT_EQ(Get(S1(1), "Baudrate"), "9600");

  // Esc on the pages acts as "&Abbrechen"; this time the change is saved and live.
  Click("CfgBtn1");
  Choose("Baud", 6);
  answers_.Press("yesButton");
  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_EQ(form.EditPort(), 0);
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(Get(S1(1), "Baudrate"), "19200");
  EXPECT_EQ(app_.PortSettings[1].Baudrate, 19200);
}

TEST_F(PortSelection, OkSavesOnlyChangesAndApplyMakesThemLive) {
  Configured(1);
  TQuillonSetupForm& form = Open();
  Click("CfgBtn1");
  const std::string before = FileBytes();
  Click("OkBtn");
  EXPECT_EQ(FileBytes(), before) << "nothing changed, nothing written";

  Click("CfgBtn1");
  Choose("Parity", 2);
  Click("UebernehmenBtn");
  EXPECT_EQ(Get(S1(1), "Parität"), "2");
  EXPECT_EQ(app_.PortSettings[1].Parity, 2);
  EXPECT_FALSE(form.Modified());
  EXPECT_FALSE(Enabled("UebernehmenBtn"));
  EXPECT_EQ(form.EditPort(), 1);

  Choose("Stop", 1);
  Click("OkBtn");
  EXPECT_TRUE(answers_.seen().empty()) << "Ok saves without asking";
  EXPECT_EQ(Get(S1(1), "Stopbits"), "2");
  EXPECT_EQ(Get(kGlobal, "Letze Konfiguration"), "1");
  EXPECT_EQ(form.EditPort(), 0);
}

TEST_F(PortSelection, AFailedSaveKeepsThePortAndItsChanges) {
  Configured(1);
  TQuillonSetupForm& form = Open();
  Click("CfgBtn1");
  Choose("Baud", 7);
  const std::string path = app_.AppInfo.IniPath;
  app_.AppInfo.IniPath = dir_.File("fehlt/quillon.ini");
  Click("OkBtn");
  EXPECT_EQ(ui_.Count("Fehler beim Abspeichern der Datei " + app_.AppInfo.IniPath + " !"), 1);
  EXPECT_EQ(form.EditPort(), 1);
  EXPECT_TRUE(form.Modified());

  Click("UebernehmenBtn");
  EXPECT_TRUE(form.Modified()) << "a failed Übernehmen leaves the port modified";
  app_.AppInfo.IniPath = path;
  Click("OkBtn");
  EXPECT_EQ(form.EditPort(), 0);
  EXPECT_EQ(Get(S1(1), "Baudrate"), "38400");
}

TEST_F(PortSelection, ClosingAsksWhenNoPortIsActiveOrChangesArePending) {
  Configured(1);
  ASSERT_TRUE(IniFile(app_.AppInfo.IniPath).WriteString(S1(1), "Aktiviert", "0"));
  TQuillonSetupForm& form = Open();
  answers_.Press("noButton");
  Click("OKBtn");
  EXPECT_EQ(LastBox(),
            "Es wurde keine Schnittstelle aktiviert !\nEinstellungen trotzdem beenden ?");
  EXPECT_TRUE(form.isVisible());

  // The close box with changes pending: "Abbrechen" keeps the dialog, "Ja" saves and closes.
  Click("Com1ChkBox");
  Click("CfgBtn1");
  Choose("Data", 0);
  answers_.Press("cancelButton");
  form.close();
  EXPECT_TRUE(form.isVisible());
  answers_.Press("yesButton");
  form.close();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(Get(S1(1), "Datenbits"), "7");
  EXPECT_EQ(answers_.seen().size(), 3u) << "no question about active ports after the save";
}

TEST_F(PortSelection, ClosingWithAnActivePortAsksNothing) {
  Configured(2);
  TQuillonSetupForm& form = Open();
  Click("OKBtn");
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST_F(PortSelection, OpenSetupDialogRunsItModallyAndReadsTheFlagsAfterwards) {
  Configured(2);
  for (auto& active : app_.GlobalApp.PortActive) active = false;
  answers_.Arm([](QWidget* dialog) {
    QTimer::singleShot(0, dialog, [dialog] {
      dialog->findChild<QAbstractButton*>("Com3ChkBox")->click();  // opens COM3's pages
      dialog->findChild<QAbstractButton*>("OkBtn")->click();
      dialog->findChild<QAbstractButton*>("OKBtn")->click();
    });
  });
  answers_.Press("noButton");  // no copy of COM2
  OpenSetupDialog(nullptr, app_, ui_);
  EXPECT_EQ(answers_.seen().at(0).title, "Quillon - Setup");
  EXPECT_TRUE(app_.GlobalApp.PortActive[2]);
  EXPECT_TRUE(app_.GlobalApp.PortActive[3]);
  EXPECT_FALSE(app_.GlobalApp.PortActive[1]);
  EXPECT_EQ(Get(S1(3), "Baudrate"), "9600");
}

}  // namespace
}  // namespace quillon::test
