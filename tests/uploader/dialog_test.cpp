// The uploader's dialog on the offscreen platform: states, command line, stored choices and
// whole transfers against the simulator.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <chrono>
#include <thread>

#include "com_settings_dialog.h"
#include "command_line.h"
#include "sollex_dialog.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace {

using namespace sollex;
using quillon::test::ChildProcess;
using quillon::test::ReadBytes;
using quillon::test::TempDir;
using quillon::test::WriteBytes;

const std::string kSim = std::string(QUILLON_BIN_DIR) + "/quillon-sim";
// Limit of every wait for an event: generous, the machine may be busy.
constexpr int kWaitMs = 20000;

bool WaitUntil(const std::function<bool()>& done, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

struct Box {
  QMessageBox::Icon icon;
  QString caption;
  QString text;
};

// A private configuration folder, and a dialog whose boxes are recorded instead of shown.
class DialogTest : public testing::Test {
 protected:
  void SetUp() override {
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    oldConfig_ = old;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.path()));
  }
  void TearDown() override {
    dialog.reset();
    if (oldConfig_.isEmpty())
      qunsetenv("XDG_CONFIG_HOME");
    else
      qputenv("XDG_CONFIG_HOME", oldConfig_);
  }

  SollexDialog& Make(const CommandLine& line = {}) {
    dialog = std::make_unique<SollexDialog>(line);
    dialog->messageHook = [this](QMessageBox::Icon icon, const QString& caption,
                                 const QString& text) {
      boxes.push_back({icon, caption, text});
    };
    dialog->remapFile = QString::fromStdString(dir.File("ComRemap.ini"));
    return *dialog;
  }

  // A simulator in uploader-target mode on COM3.
  void StartSim(std::vector<std::string> extra = {}) {
    std::vector<std::string> argv = {kSim, "uploader", "--pty", "--received",
                                     dir.File("received.bin")};
    argv.insert(argv.end(), extra.begin(), extra.end());
    ASSERT_TRUE(sim.Start(argv, dir.path()));
    ASSERT_TRUE(sim.WaitForOutput("\n", kWaitMs));
    const auto at = sim.out().find("LINE ");
    const std::string device = sim.out().substr(at + 5, sim.out().find('\n', at) - at - 5);
    WriteBytes(dir.File("ComRemap.ini"), "[Remap]\nCOM3=" + device + "\n");
  }

  template <typename T>
  T* Child(const char* name) {
    return dialog->findChild<T*>(name);
  }
  QAction* MenuAction(const QString& text) {
    for (QAction* a : dialog->findChildren<QAction*>()) {
      if (a->text() == text) return a;
    }
    return nullptr;
  }
  QString Path(const char* name) { return QString::fromStdString(dir.File(name)); }
  void Shot(const char* name) {
    if (const char* where = std::getenv("QUILLON_SCREENSHOTS")) {
      dialog->grab().save(QString("%1/%2.png").arg(where, name));
    }
  }

  TempDir dir;
  ChildProcess sim;
  std::unique_ptr<SollexDialog> dialog;
  std::vector<Box> boxes;
  QByteArray oldConfig_;
};

const std::string kHex = ":020000040000FA\n:0100000055AA\n:00000001FF\n";

TEST(SollexCommandLine, OptionsRatesPortsAndShortPaths) {
  CommandLine line = ParseCommandLine({"/b9600", "/p3", "/f/tmp/a.hex", "junk"});
  EXPECT_EQ(line.rateIndex, 0);
  EXPECT_EQ(line.portIndex, 2);
  EXPECT_EQ(line.file, "/tmp/a.hex");
  line = ParseCommandLine({"/B38400", "/P12", "-F"});
  EXPECT_EQ(line.rateIndex, 1);
  EXPECT_EQ(line.portIndex, 0);  // only the first digit counts
  EXPECT_EQ(line.file, "");
  EXPECT_EQ(ParseCommandLine({"/b57600"}).rateIndex, 2);
  EXPECT_FALSE(ParseCommandLine({"/p9"}).portIndex.has_value());
  EXPECT_FALSE(ParseCommandLine({"/p"}).portIndex.has_value());

  const std::string path = "/" + std::string(24, 'a') + std::string(20, 'm') + std::string(25, 'z');
  ASSERT_EQ(path.size(), 70u);
  EXPECT_EQ(ShortPath(path), "/" + std::string(24, 'a') + "..." + std::string(25, 'z'));
  EXPECT_EQ(ShortPath(std::string(60, 'x')), std::string(60, 'x'));
  EXPECT_EQ(RateIndexFrom("3", 0), 2);
  EXPECT_EQ(RateIndexFrom("x", 1), 1);
  EXPECT_EQ(PortIndexFrom("8", 0), 0);
  EXPECT_EQ(UpperExtension("/d.x/app.exs"), "EXS");
  EXPECT_EQ(UpperExtension("/d.x/app"), "");
}

TEST_F(DialogTest, MissingStoredChoicesAreWrittenWithTheirDefaults) {
  const SollexSettings s = SollexSettings::Load();
  EXPECT_EQ(SollexSettings::FilePath(), Path("VARDA/WINQO.conf"));
  EXPECT_EQ(s.rateIndex, 2);
  EXPECT_EQ(s.portIndex, 0);
  EXPECT_EQ(s.selection, "HEX");
  EXPECT_EQ(s.path, QDir::homePath());
  QSettings stored(SollexSettings::FilePath(), QSettings::IniFormat);
  EXPECT_EQ(stored.value("BaudRate").toString(), "3");
  EXPECT_EQ(stored.value("ComNumber").toString(), "0");
  EXPECT_EQ(stored.value("Selection").toString(), "HEX");
  EXPECT_EQ(stored.value("Path").toString(), QDir::homePath());

  SollexSettings changed = s;
  changed.portIndex = 6;
  changed.rateIndex = 1;
  changed.recent = {"/a", "/b", "/c", "/d", "/e", "/f"};
  changed.Save();
  const SollexSettings again = SollexSettings::Load();
  EXPECT_EQ(again.portIndex, 6);
  EXPECT_EQ(again.rateIndex, 1);
  EXPECT_EQ(again.recent, (QStringList{"/a", "/b", "/c", "/d"}));  // File5 is written, not read
  QSettings reread(SollexSettings::FilePath(), QSettings::IniFormat);
  EXPECT_EQ(reread.value("File5").toString(), "/e");
  EXPECT_FALSE(reread.contains("File6"));
}

TEST_F(DialogTest, IdleWindowIsShorterAndOffersSendOnlyWithAFile) {
  SollexDialog& d = Make();
  d.show();
  EXPECT_EQ(d.windowTitle(), "Varda Sollex");
  EXPECT_FALSE(Child<QPushButton>("send")->isEnabled());
  EXPECT_FALSE(MenuAction("&Send")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>("abort")->isEnabled());
  EXPECT_FALSE(MenuAction("&Abort")->isEnabled());
  EXPECT_FALSE(Child<QWidget>("progressArea")->isVisible());
  EXPECT_FALSE(Child<QGroupBox>("banks")->isVisible());
  const int idle = d.height();
  for (const char* text : {"&Open...", "&Exit", "&COM", "&About...", "&More Info...",
                           "&About Sollex...", "More Info..."})
    EXPECT_NE(MenuAction(text), nullptr) << text;
  QStringList menus;
  QStringList help;
  for (QAction* a : d.findChild<QMenuBar*>()->actions()) {
    menus << a->text();
    if (a->text() == "&Help") {
      for (QAction* entry : a->menu()->actions()) help << entry->text();
    }
  }
  EXPECT_EQ(menus, (QStringList{"&File", "&Settings", "&Help"}));
  EXPECT_EQ(help, (QStringList{"&About...", "&More Info..."}));
  Shot("sollex-idle");

  WriteBytes(dir.File("app.hex"), kHex);
  d.setCurrentFile(Path("app.hex"));
  EXPECT_TRUE(Child<QPushButton>("send")->isEnabled());
  EXPECT_TRUE(MenuAction("&Send")->isEnabled());

  // COM3 leads nowhere: the failure box, and the window is idle and ready again.
  WriteBytes(dir.File("ComRemap.ini"), "[Remap]\nCOM3=/nonexistent/line\n");
  d.settings().portIndex = 2;
  d.StartTransfer();
  EXPECT_TRUE(d.busy());
  EXPECT_EQ(d.height(), idle + SollexDialog::kProgressHeight);
  EXPECT_TRUE(Child<QWidget>("progressArea")->isVisible());
  EXPECT_TRUE(Child<QPushButton>("abort")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>("send")->isEnabled());
  ASSERT_TRUE(WaitUntil([&] { return !boxes.empty(); }, kWaitMs));
  EXPECT_EQ(boxes[0].caption, "Error");
  EXPECT_EQ(boxes[0].text, QString("Error opening serial line, Error:%1").arg(ENOENT));
  EXPECT_FALSE(d.busy());
  EXPECT_EQ(d.height(), idle);
  EXPECT_TRUE(Child<QPushButton>("send")->isEnabled());
  EXPECT_TRUE(d.settings().recent.isEmpty());
}

TEST_F(DialogTest, CommandLineFileThatDoesNotExistIsReportedAndCleared) {
  CommandLine line;
  line.file = dir.File("nothing.hex");
  SollexDialog& d = Make(line);
  d.show();
  ASSERT_TRUE(WaitUntil([&] { return !boxes.empty(); }, kWaitMs));
  EXPECT_EQ(boxes[0].caption, "Error");
  EXPECT_EQ(boxes[0].text, "The File " + Path("nothing.hex") + " does not exist");
  EXPECT_TRUE(d.currentFile().isEmpty());
  EXPECT_FALSE(d.commandLineMode());
  EXPECT_FALSE(Child<QPushButton>("send")->isEnabled());
}

TEST_F(DialogTest, CommandLineTransferStartsByItselfAndShowsItsProgress) {
  StartSim();
  WriteBytes(dir.File("A.h00"), kHex);
  WriteBytes(dir.File("A.h01"), kHex);
  CommandLine line = ParseCommandLine({"/p3", "/b38400", "/f" + dir.File("A.h00")});
  SollexDialog& d = Make(line);
  d.show();
  EXPECT_TRUE(d.commandLineMode());
  EXPECT_FALSE(d.busy());
  ASSERT_TRUE(WaitUntil([&] { return d.busy(); }, kWaitMs));
  // During the pause after the first bank.
  ASSERT_TRUE(WaitUntil([&] { return Child<QProgressBar>("progress")->value() == 3; }, kWaitMs));
  EXPECT_TRUE(Child<QGroupBox>("banks")->isVisible());
  EXPECT_TRUE(Child<QLabel>("bank2")->isVisible());
  EXPECT_FALSE(Child<QLabel>("bank3")->isVisible());
  EXPECT_EQ(Child<QLabel>("status1")->text(), "Downloading : " + Path("A.h00"));
  EXPECT_EQ(Child<QLabel>("status2")->text(),
            QString("Download %1 of %1 bytes at 38400").arg(kHex.size()));
  EXPECT_EQ(Child<QLabel>("scaleTotal")->text(), QString::number(kHex.size()));
  EXPECT_EQ(Child<QLabel>("scaleHalf")->text(), QString::number(kHex.size() / 2));
  Shot("sollex-busy");
  ASSERT_TRUE(WaitUntil([&] { return !boxes.empty(); }, kWaitMs));
  EXPECT_EQ(boxes[0].caption, "Notice");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
  EXPECT_EQ(boxes[0].text, "Data Transfer is succefully terminated");
  EXPECT_EQ(ReadBytes(dir.File("received.bin")), kHex + kHex);
  EXPECT_FALSE(d.busy());
  EXPECT_FALSE(Child<QGroupBox>("banks")->isVisible());
  EXPECT_TRUE(d.settings().recent.isEmpty());  // not in command-line mode
}

TEST_F(DialogTest, AbortReportsTheCancelAndASentFileJoinsTheRecentList) {
  StartSim();
  WriteBytes(dir.File("A.h00"), kHex);
  WriteBytes(dir.File("A.h01"), kHex);
  SollexDialog& d = Make();
  d.settings().portIndex = 2;
  d.bankPauseMs = 60000;
  d.show();
  d.setCurrentFile(Path("A.h00"));
  d.StartTransfer();
  // In the pause after the first bank: the abort wakes the worker and waits for its end, so its
  // last reports are already posted when the abort returns.
  ASSERT_TRUE(WaitUntil([&] { return Child<QProgressBar>("progress")->value() == 3; }, kWaitMs));
  Child<QPushButton>("abort")->click();
  QCoreApplication::sendPostedEvents(&d);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Attention");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(boxes[0].text, "Data Transfer is aborted by the user");
  EXPECT_EQ(d.settings().recent, QStringList{Path("A.h00")});
  EXPECT_NE(MenuAction("&1 " + Path("A.h00")), nullptr);
  EXPECT_FALSE(d.busy());
  EXPECT_FALSE(Child<QGroupBox>("banks")->isVisible());
}

TEST_F(DialogTest, BanksBeyondTheEighthShowOnTheLastIndicator) {
  StartSim({"--ack-limit", "9"});  // the tenth bank's line waits for its ACK
  for (char digit = '0'; digit <= '9'; ++digit) {
    WriteBytes(dir.File(std::string("T.h0") + digit), ":00000001FF\n");
  }
  SollexDialog& d = Make();
  d.settings().portIndex = 2;
  d.bankPauseMs = 0;
  d.show();
  d.setCurrentFile(Path("T.h00"));
  d.StartTransfer();
  QLabel* last = Child<QLabel>("bank8");
  ASSERT_TRUE(WaitUntil([&] { return last->text() == "10"; }, kWaitMs));
  EXPECT_TRUE(last->isVisible());
  const auto style = [this](const char* name) {
    return Child<QLabel>(name)->styleSheet().toStdString();
  };
  EXPECT_NE(style("bank8"), style("bank7"));  // current, not done
  EXPECT_EQ(style("bank7"), style("bank1"));
  Shot("sollex-banks");
  d.Abort();
  ASSERT_TRUE(WaitUntil([&] { return !d.busy(); }, kWaitMs));
}

TEST_F(DialogTest, ScriptFilesGoAsScriptsAndFailuresKeepTheWindowUsable) {
  StartSim({"--ack-text", "<NAK>"});
  const std::string esc = "\x1b";
  WriteBytes(dir.File("app.exs"), esc + "A" + esc + esc + "B" + esc);
  SollexDialog& d = Make();
  d.settings().portIndex = 2;
  d.settings().selection = "HEX";  // the file's own type decides
  d.show();
  d.setCurrentFile(Path("app.exs"));
  d.StartTransfer();
  ASSERT_TRUE(WaitUntil([&] { return !boxes.empty(); }, kWaitMs));
  EXPECT_EQ(boxes[0].caption, "Attention");
  EXPECT_EQ(boxes[0].text, "Error waiting ACK from device");
  EXPECT_TRUE(sim.WaitForOutput("CLOCK ", kWaitMs));
  EXPECT_FALSE(d.busy());
  EXPECT_TRUE(Child<QPushButton>("send")->isEnabled());
}

TEST_F(DialogTest, FileThatCannotBeOpenedIsNamedInTheBox) {
  StartSim();
  SollexDialog& d = Make();
  d.settings().portIndex = 2;
  d.show();
  d.setCurrentFile(Path("gone.hex"));
  d.StartTransfer();
  ASSERT_TRUE(WaitUntil([&] { return !boxes.empty(); }, kWaitMs));
  EXPECT_EQ(boxes[0].caption, "Error");
  EXPECT_EQ(boxes[0].text, "Error opening file : " + Path("gone.hex"));
  EXPECT_FALSE(d.busy());
}

TEST_F(DialogTest, ClosingWhileBusyAsksAndSavesTheChoices) {
  StartSim({"--ack-limit", "0"});
  WriteBytes(dir.File("app.hex"), kHex);
  SollexDialog& d = Make();
  d.settings().portIndex = 2;
  d.settings().rateIndex = 0;
  d.show();
  d.setCurrentFile(Path("app.hex"));
  d.StartTransfer();
  // The transfer is under way: the terminal has the line open and sees it closed later.
  ASSERT_TRUE(sim.WaitForOutput("HANDSHAKE", kWaitMs));
  int asked = 0;
  bool answer = false;
  d.confirmStopHook = [&] {
    ++asked;
    return answer;
  };
  EXPECT_FALSE(d.close());
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(d.isVisible());
  answer = true;
  EXPECT_TRUE(d.close());
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(sim.Wait(kWaitMs), 0);  // the line was closed: the transfer has ended
  // Its end reaches no window any more: no box of an aborted transfer after closing.
  QCoreApplication::sendPostedEvents();
  QApplication::processEvents();
  EXPECT_TRUE(boxes.empty()) << boxes[0].text.toStdString();
  QSettings stored(SollexSettings::FilePath(), QSettings::IniFormat);
  EXPECT_EQ(stored.value("ComNumber").toString(), "2");
  EXPECT_EQ(stored.value("BaudRate").toString(), "0");
}

TEST_F(DialogTest, CommandLinePortAndRateAreNotStored) {
  {
    QSettings stored(SollexSettings::FilePath(), QSettings::IniFormat);
    stored.setValue("ComNumber", "1");
    stored.setValue("BaudRate", "1");
  }
  SollexDialog& d = Make(ParseCommandLine({"/p5", "/b19200"}));
  d.show();
  EXPECT_TRUE(d.close());
  QSettings stored(SollexSettings::FilePath(), QSettings::IniFormat);
  EXPECT_EQ(stored.value("ComNumber").toString(), "1");
  EXPECT_EQ(stored.value("BaudRate").toString(), "1");
}

TEST_F(DialogTest, ComSettingsHelpTextAndAboutBox) {
  ComSettingsDialog com(4, 1);
  EXPECT_EQ(com.windowTitle(), "COM Settings");
  auto* port = com.findChild<QComboBox*>("comNumber");
  auto* rate = com.findChild<QComboBox*>("maxBaudRate");
  ASSERT_EQ(port->count(), 8);
  EXPECT_EQ(port->itemText(7), "COM8");
  EXPECT_EQ(port->currentText(), "COM5");
  EXPECT_EQ(rate->currentText(), "38400");
  EXPECT_EQ(rate->count(), 3);
  if (const char* where = std::getenv("QUILLON_SCREENSHOTS")) {
    com.show();
    com.grab().save(QString("%1/sollex-com.png").arg(where));
  }

  EXPECT_STREQ(kCommandLineHelp,
               "Command Line parameters:\r\n\r\n/f[filename]\tFile To Download\r\n"
               "/bN\t\tSet Baud Rate to N ( 19200, 38400 or 57600 )\r\n"
               "/pN\t\tSet COM Port to COMN ( from COM1 to COM8 )\r\n");
  SollexDialog& d = Make();
  d.show();
  // The modal boxes are looked at and closed from a timer.
  QString shown;
  auto closeModal = [&](const char* shot) {
    QTimer::singleShot(100, [&, shot] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal) return;
      if (auto* text = modal->findChild<QPlainTextEdit*>("helpText"))
        shown = text->toPlainText();
      else
        shown = modal->windowTitle();
      Shot(shot);
      if (const char* where = std::getenv("QUILLON_SCREENSHOTS"))
        modal->grab().save(QString("%1/%2.png").arg(where, shot));
      modal->close();
    });
  };
  closeModal("sollex-moreinfo");
  MenuAction("&More Info...")->trigger();
  EXPECT_EQ(shown, QString(kCommandLineHelp).remove('\r'));
  closeModal("sollex-about");
  MenuAction("&About Sollex...")->trigger();
  EXPECT_EQ(shown, "About Sollex");
}

}  // namespace
