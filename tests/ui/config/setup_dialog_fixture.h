#pragma once
// The setup dialog on a real settings file in a fresh directory, COM1 to COM4 present through
// ComRemap.ini, with helpers that act as the user and read back what the file holds.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "common/ini_file.h"
#include "config/settings_store.h"
#include "config/ui/setup_form.h"
#include "serial/com_remap.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"
#include "ui/modal_answer.h"

namespace quillon::test {

inline std::string S1(int n) { return "Schnittstellenparameter für COM" + std::to_string(n) + ":"; }
inline std::string S2(int n) { return "Datenparameter für COM" + std::to_string(n) + ":"; }
inline std::string S5(int n) { return "Pollingparameter für COM" + std::to_string(n) + ":"; }
inline std::string S7(int n) { return "TCP/IP-Parameter für COM" + std::to_string(n) + ":"; }
inline const std::string kGlobal = "Einstellungen";

// Closes a modal box or dialog that stays open for three seconds (no answer was armed for it,
// or the armed answer found no button), so a wrong path fails instead of hanging, and
// remembers its text.
class UnexpectedBoxes {
 public:
  UnexpectedBoxes() {
    timer_.setInterval(100);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Check(); });
    timer_.start();
  }
  const std::vector<std::string>& seen() const { return seen_; }

 private:
  void Check() {
    QWidget* w = QApplication::activeModalWidget();
    if (w != last_) {
      last_ = w;
      ticks_ = 0;
      return;
    }
    if (!w || ++ticks_ < 30) return;
    ticks_ = 0;
    auto* box = qobject_cast<QMessageBox*>(w);
    seen_.push_back(w->windowTitle().toStdString() + ": " +
                    (box ? box->text().toStdString() : std::string()));
    if (auto* dialog = qobject_cast<QDialog*>(w)) dialog->reject();
  }

  QTimer timer_;
  QPointer<QWidget> last_;
  int ticks_ = 0;
  std::vector<std::string> seen_;
};

class SetupDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_.AppInfo.ExeDir = dir_.path() + "/";
    app_.AppInfo.ProgramDir = dir_.path() + "/";
    app_.AppInfo.IniPath = dir_.File("quillon.ini");
    app_.GlobalApp.TestPorts = false;
    Remap("COM1=/dev/null\r\nCOM2=/dev/null\r\nCOM3=/dev/null\r\nCOM4=/dev/null\r\n");
  }
  void TearDown() override {
    if (form_) form_->hide();
    form_.reset();
    SetComRemapDirectory(QUILLON_BIN_DIR);
    EXPECT_TRUE(unexpected_.seen().empty()) << unexpected_.seen().front();
    EXPECT_TRUE(answers_.Done()) << "an expected box did not appear";
  }

  void Remap(const std::string& entries) {
    WriteBytes(dir_.File("ComRemap.ini"), "[Remap]\r\n" + entries);
    SetComRemapDirectory(dir_.path());
  }
  // COM n as saved from the dialog before: complete, active, "Letze Konfiguration" = n.
  void Configured(int n, const std::string& baud = "9600") {
    SettingsStore store(app_, ui_);
    store.LoadPortSettings(SettingsSlot::Edit, n);
    app_.PortSettings[0].Enabled = true;
    app_.PortSettings[0].Baudrate = std::stoi(baud);
    ASSERT_TRUE(store.SavePortSettings(SettingsSlot::Edit, n));
    ui_.messages.clear();
  }

  TQuillonSetupForm& Open() {
    form_ = std::make_unique<TQuillonSetupForm>(app_, ui_);
    form_->show();
    Activate();
    return *form_;
  }
  template <typename T>
  T* Find(const char* name) {
    T* w = form_->findChild<T*>(QString::fromUtf8(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  // Chooses an item as the user does with the list's popup.
  void Choose(const char* combo, int index) {
    QComboBox* c = Find<QComboBox>(combo);
    c->setCurrentIndex(index);
    emit c->activated(index);
  }
  std::string Shown(const char* combo) {
    return Find<QComboBox>(combo)->currentText().toStdString();
  }
  void Click(const char* button) { Find<QAbstractButton>(button)->click(); }
  bool Enabled(const char* name) { return Find<QWidget>(name)->isEnabled(); }
  void ShowPage(const char* name) {
    auto* tabs = Find<QTabWidget>("PageControl");
    tabs->setCurrentWidget(Find<QWidget>(name));
  }
  // The dialog as the active window again: a closed box leaves no window active here.
  void Activate() {
    form_->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  }
  // The control that has the focus within the dialog (or gets it when the dialog is active).
  std::string Focused() const {
    return form_->focusWidget() ? form_->focusWidget()->objectName().toStdString() : "";
  }
  // Types into the field in place of what it held.
  void Type(const char* field, const std::string& text) {
    Activate();
    QLineEdit* edit = Find<QLineEdit>(field);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QString::fromStdString(text));
  }

  std::string Get(const std::string& section, const std::string& key) const {
    return IniFile(app_.AppInfo.IniPath).ReadString(section, key, "<fehlt>");
  }
  std::string FileBytes() const { return ReadBytes(app_.AppInfo.IniPath); }
  // The text of the last box answered, empty when none was.
  std::string LastBox() const {
    return answers_.seen().empty() ? std::string() : answers_.seen().back().text;
  }
  // The texts of the boxes answered so far.
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const SeenBox& b : answers_.seen()) texts.push_back(b.text);
    return texts;
  }

  TempDir dir_;
  AppContext app_;
  RecordingSink ui_;
  ModalAnswers answers_;
  UnexpectedBoxes unexpected_;
  std::unique_ptr<TQuillonSetupForm> form_;
};

}  // namespace quillon::test
