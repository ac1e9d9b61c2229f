// Reception started and stopped from the window, with simulated terminals on pseudo-terminal
// lines: what the window shows while the threads report, and after a stop.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdlib>

#include "box_answerer.h"
#include "shell/ui/port_events.h"
#include "window_fixture.h"

namespace quillon {
namespace {

using test::BoxAnswerer;
using test::WaitUntil;
using test::WindowFixture;

// A window picture for looking at, when QUILLON_SCREENSHOTS names a directory.
void Screenshot(QWidget& window, const char* name) {
  if (const char* dir = std::getenv("QUILLON_SCREENSHOTS")) {
    window.grab().save(QString("%1/%2.png").arg(dir, name));
  }
}

// Counts the port update events that reach the window.
class UpdateCounter : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == static_cast<QEvent::Type>(kWmPortUpdate)) ++updates;
    return false;
  }
  int updates = 0;
};

// The longest time the event loop left a 20 ms timer waiting.
class LoopWatch {
 public:
  LoopWatch() {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout,
                     [this] { maxGapMs = std::max(maxGapMs, clock_.restart()); });
    clock_.start();
    timer_.start();
  }
  qint64 maxGapMs = 0;

 private:
  QTimer timer_;
  QElapsedTimer clock_;
};

std::string Records(int count, const std::string& prefix) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += prefix + std::to_string(i) +
            " St\xFC"
            "ck\r\n";
  return text;
}

TEST(MainFormReception, BurstOfEightBusyPortsReachesTheWindow) {
  WindowFixture f;
  constexpr int kLines = 300;
  test::WriteBytes(f.dir.File("viel.txt"), Records(kLines, "Zeile "));
  // The terminals keep their lines: a line that goes away would show its own status.
  for (int port = 1; port <= 8; ++port) {
    ASSERT_TRUE(f.Terminal(port, {"--send", "viel.txt", "--header", "KOPF", "--stay"}));
    f.Active(port);
    f.Settings(
        "[Dateienparameter f\xFC"
        "r COM" +
        std::to_string(port) +
        ":]\r\nDateiname=" + f.dir.File("ziel" + std::to_string(port) + ".dat") + "\r\n");
  }
  ASSERT_TRUE(f.Start());
  UpdateCounter counter;
  f.window().installEventFilter(&counter);
  LoopWatch watch;

  f.Key(Qt::Key_F5);
  ASSERT_TRUE(f.window().Receiving());
  // All terminals within one time limit.
  ASSERT_TRUE(WaitUntil([&] {
    for (int port = 1; port <= 8; ++port) {
      if (!f.sims[port]->WaitForOutput("SENT ", 1)) return false;
    }
    return true;
  })) << f.sims[1]->err();
  // The header and every line are counted once the last records are taken over.
  const QString expected = QString::number(kLines + 1);
  ASSERT_TRUE(WaitUntil([&] { return f.Text("AnzDSLbl") == expected; }))
      << f.Text("AnzDSLbl").toStdString();
  ASSERT_TRUE(WaitUntil([&] { return f.StatusBar().contains("ziel1.dat"); }))
      << f.StatusBar().toStdString();
  EXPECT_LT(watch.maxGapMs, 1000) << "the window kept answering";
  EXPECT_LT(counter.updates, 8 * kLines / 4) << "updates of busy ports are merged";
  EXPECT_GT(f.Text("AnzBytesLbl").toInt(), kLines * 10);
  EXPECT_TRUE(f.Find<QLabel>("FileNameLbl")->toolTip().endsWith("ziel1.dat"));

  // The data page: the last 250 records, Windows-1252 shown as such.
  f.Find<QTabWidget>("PC")->setCurrentWidget(f.Find<QWidget>("TSDaten"));
  ASSERT_TRUE(WaitUntil([&] { return f.MemoLines("Datenzeilen").size() == 250; }))
      << f.MemoLines("Datenzeilen").size();
  // Each record with its type character ("+"), as stored.
  EXPECT_EQ(f.MemoLines("Datenzeilen").last().toStdString(), "+Zeile 299 Stück");
  EXPECT_EQ(f.MemoLines("Datenzeilen").first().toStdString(), "+Zeile 50 Stück");
  Screenshot(f.window(), "main-data");

  // The logbook page of the fourth port, after its button.
  f.Find<QPushButton>("ComBtn4")->click();
  f.Find<QTabWidget>("PC")->setCurrentWidget(f.Find<QWidget>("TSLogbuch"));
  const QString stored = "(com4:) Daten in Datei " +
                         QString::fromStdString(f.dir.File("ziel4.dat")) + " abgespeichert";
  ASSERT_TRUE(WaitUntil([&] {
    const QStringList lines = f.MemoLines("Logbuchzeilen");
    return !lines.isEmpty() && lines.last().endsWith(stored);
  })) << f.MemoLines("Logbuchzeilen").join('\n').toStdString();
  EXPECT_TRUE(f.StatusBar().contains("ziel4.dat")) << f.StatusBar().toStdString();
  Screenshot(f.window(), "main-logbook");
  // After a stop: every LED yellow and dark, the counters "0" whatever was counted.
  f.Find<QTabWidget>("PC")->setCurrentWidget(f.Find<QWidget>("TSStatus"));
  Screenshot(f.window(), "main-receiving");
  f.Key(Qt::Key_F5);
  EXPECT_FALSE(f.window().Receiving());
  auto closed = [&](int n) {
    TLED* led = f.Led(("ComLED" + std::to_string(n)).c_str());
    return led->color() == TLED::Color::Yellow && !led->lit();
  };
  EXPECT_TRUE(WaitUntil(
      [&] {
        for (int n = 1; n <= 8; ++n) {
          if (!closed(n)) return false;
        }
        return true;
      },
      2000));
  EXPECT_EQ(f.Text("AnzDSLbl"), "0");
  EXPECT_EQ(f.Text("AnzBytesLbl"), "0");
  EXPECT_EQ(f.Text("FileNameLbl"), "");
  f.Find<QTabWidget>("PC")->setCurrentWidget(f.Find<QWidget>("TSDaten"));
  QTest::qWait(100);
  EXPECT_TRUE(f.MemoLines("Datenzeilen").isEmpty()) << "the data of a stopped reception is gone";
  Screenshot(f.window(), "main-stopped");
}

TEST(MainFormReception, PortThatCannotBeOpenedShowsItsErrorAndKeepsItsLed) {
  WindowFixture f;
  f.IdleLine(1);
  f.Active(1);
  f.Active(3);  // active, but its line is not there
  ASSERT_TRUE(f.Start());
  f.Find<QPushButton>("ComBtn2")->click();  // shows COM3
  ASSERT_EQ(f.window().ShownPort(), 3);
  f.Key(Qt::Key_F5);
  ASSERT_TRUE(WaitUntil([&] {
    return f.StatusBar() == "Fehler beim Öffnen der Schnittstelle (1)";
  })) << f.StatusBar().toStdString();
  ASSERT_TRUE(WaitUntil([&] { return f.Led("ComLED1")->lit(); })) << "COM1 is ready";
  EXPECT_EQ(f.Led("ComLED1")->color(), TLED::Color::Green);
  EXPECT_EQ(f.Led("ComLED2")->color(), TLED::Color::Yellow) << "COM3 keeps its LED";
  EXPECT_FALSE(f.Led("ComLED2")->lit());

  f.Find<QAction>("EmpfangItem")->trigger();
  EXPECT_FALSE(f.window().Receiving());
  EXPECT_TRUE(WaitUntil(
      [&] { return f.Led("ComLED1")->color() == TLED::Color::Yellow && !f.Led("ComLED1")->lit(); },
      2000));
}

TEST(MainFormReception, SettingsWhileReceivingAskFirst) {
  WindowFixture f;
  f.IdleLine(1);
  f.Active(1);
  ASSERT_TRUE(f.Start());
  f.Key(Qt::Key_F5);
  ASSERT_TRUE(f.window().Receiving());

  {
    BoxAnswerer answers;
    answers.On("jetzt anhalten", "noButton");
    f.Key(Qt::Key_F9);
    EXPECT_TRUE(f.window().Receiving()) << "\"No\" keeps reception running";
    EXPECT_EQ(answers.otherDialogs(), 0) << "and the settings closed";
    ASSERT_EQ(answers.Count("Zum Konfigurieren muß der Datenempfang angehalten werden !\nDen "
                            "Datenempfang jetzt anhalten ?"),
              1);
    EXPECT_EQ(answers.seen().back().title, "Bestätigung");
  }
  {
    BoxAnswerer answers;
    answers.On("jetzt anhalten", "yesButton");
    answers.On("wieder starten", "yesButton");
    f.Find<QToolButton>("KonfigBtn")->click();
    EXPECT_EQ(answers.otherDialogs(), 1) << "the setup dialog ran";
    EXPECT_EQ(answers.Count("Den Datenempfang wieder starten ?"), 1);
    EXPECT_TRUE(f.window().Receiving()) << "started again";
    EXPECT_EQ(f.Find<QPushButton>("ComBtn1")->text(), "com1:");
    EXPECT_TRUE(f.Find<QAction>("StatusItem")->isChecked());
  }
}

// "/autostart" acts at the first tick, which comes only after a start without complaint: after
// an error in the command line the window stays in sight and reception stopped.
TEST(MainFormReception, CommandLineErrorKeepsTheFirstTickFromStartingReception) {
  WindowFixture f;
  f.IdleLine(1);
  f.Active(1);
  BoxAnswerer answers;
  ASSERT_TRUE(f.Start({"/autostart", "b:19200"}));
  EXPECT_EQ(answers.Count("Parameter b:19200 ist fehlerhaft !"), 1);
  ASSERT_TRUE(f.receiver->app().GlobalApp.Autostart) << "applied before the error";
  EXPECT_FALSE(f.Find<QTimer>("Timer")->isActive()) << "no first tick to come";
  EXPECT_FALSE(f.window().Receiving());
  EXPECT_FALSE(f.window().isMinimized());
}

// "$v24close" from a terminal ends its port's reception: the window shows the port stopped,
// and once the user has stopped and started reception the port receives again.
TEST(MainFormReception, V24CloseStopsThePortUntilReceptionIsStartedAgain) {
  WindowFixture f;
  test::WriteBytes(f.dir.File("close.txt"), "$v24close$\r\n");
  test::WriteBytes(f.dir.File("data.txt"), "danach\r\n");
  // The terminal repeats each transfer until it is taken: before reception starts, and its
  // data while the port is closed.
  ASSERT_TRUE(f.Terminal(1, {"--send", "close.txt", "--then-send", "data.txt", "--ack-timeout",
                             "1000", "--max-retries", "1", "--transfer-retries", "1000"}));
  ASSERT_TRUE(f.HoldLine(1));
  f.Active(1);
  f.Settings(
      "[Dateienparameter f\xFC"
      "r COM1:]\r\nDateiname=" +
      f.dir.File("eins.dat") + "\r\n");
  ASSERT_TRUE(f.Start());
  f.Key(Qt::Key_F5);
  TLED* led = f.Led("ComLED1");
  ASSERT_TRUE(WaitUntil([&] { return f.StatusBar() == "Schnittstelle wird geschlossen"; }))
      << f.StatusBar().toStdString() << f.sims[1]->err();
  EXPECT_TRUE(WaitUntil([&] { return led->color() == TLED::Color::Yellow && !led->lit(); }));
  EXPECT_TRUE(f.window().Receiving()) << "the other ports go on";

  f.Key(Qt::Key_F5);
  f.Key(Qt::Key_F5);
  ASSERT_TRUE(f.window().Receiving());
  ASSERT_TRUE(WaitUntil([&] { return f.sims[1]->WaitForOutput("SENT AFTER", 1); }))
      << f.sims[1]->err();
  EXPECT_TRUE(WaitUntil([&] {
    return test::ReadBytes(f.dir.File("eins.dat")).find("+danach") != std::string::npos;
  })) << test::ReadBytes(f.dir.File("eins.dat"));
}

// A send from the command line is still running when the settings are opened: the setup
// dialog comes once it is over (it reads the settings the dialog edits), and the file arrives
// whole.
TEST(MainFormReception, SettingsWaitForARunningSend) {
  WindowFixture f;
  std::string lines;
  for (int i = 0; i < 3000; ++i) lines += "Zeile " + std::to_string(i) + "\r\n";
  test::WriteBytes(f.dir.File("senden.txt"), lines);
  ASSERT_TRUE(f.Terminal(1, {"--receive", "got"}));
  f.Active(1);
  ASSERT_TRUE(f.Start({"/com1 tx:" + f.dir.File("senden.txt")}));
  TTxThread& sender = f.receiver->sender(1);
  ASSERT_TRUE(WaitUntil([&] { return sender.Blocks() > 0 || sender.Result() != kSendResultNone; }));
  BoxAnswerer answers;
  f.Key(Qt::Key_F9);
  EXPECT_EQ(answers.otherDialogs(), 1) << "the setup dialog ran";
  EXPECT_FALSE(sender.Running());
  EXPECT_EQ(sender.Result(), kSendResultNone) << sender.Message();
  EXPECT_TRUE(f.sims[1]->WaitForOutput("RECEIVED 3000\n", test::kUiWaitMs))
      << f.sims[1]->out() << f.sims[1]->err();
}

// A port on the radio network receives in the window: the satellites' records are stored and
// their states reach the status bar.
TEST(MainFormReception, RadioNetworkPortReceives) {
  WindowFixture f;
  ASSERT_TRUE(f.Terminal(1, {"satellites", "--sat", "1,terms=1-2", "--records", "2", "--burst", "0",
                             "--term-id", "--counter"}));
  test::WriteBytes(f.dir.File("Tembra_COM1.ini"),
                   "[Satelliten]\r\n1=Halle,1,2\r\n[Gruppen]\r\nA=1\r\n");
  f.Active(1);
  f.Settings(
      "[Datenparameter f\xFCr COM1:]\r\nProtokoll=1\r\n"
      "[Dateienparameter f\xFCr COM1:]\r\nDateimodus=1\r\nDateiname=" +
      f.dir.File("funk.dat") + "\r\n");
  ASSERT_TRUE(f.Start());
  f.Key(Qt::Key_F5);
  // A satellite that answers too late on a loaded machine counts as offline and is asked again
  // at its next turn, after the network's own pauses: the bound leaves room for several turns.
  const int kNetworkWaitMs = 4 * test::kUiWaitMs;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::string stored = test::ReadBytes(f.dir.File("funk.dat"));
        return std::count(stored.begin(), stored.end(), '\n') == 4;
      },
      kNetworkWaitMs))
      << test::ReadBytes(f.dir.File("funk.dat")) << f.sims[1]->out() << f.sims[1]->err()
      << f.MemoLines("Logbuchzeilen").join('\n').toStdString();
  EXPECT_TRUE(WaitUntil([&] { return f.StatusBar() == "Satellit 01 ist online"; }, kNetworkWaitMs));
  Screenshot(f.window(), "radio-network-receiving");
}

// What the send threads will report: a negative port switches the labels to what was sent.
TEST(MainFormReception, SendProgressSwitchesTheCounterLabels) {
  WindowFixture f;
  f.IdleLine(1);
  f.Active(1);
  ASSERT_TRUE(f.Start());
  f.Key(Qt::Key_F5);
  // The receive thread's own report comes first; the send thread is about to borrow the port.
  ASSERT_TRUE(WaitUntil([&] { return f.StatusBar() == "Schnittstelle wird geöffnet"; }));
  QCoreApplication::postEvent(&f.window(), new PortEvent(kWmPortUpdate, -1, 1));
  ASSERT_TRUE(WaitUntil([&] { return f.Text("RxTxDatenBloeckeLbl") == "Gesendete Datenblöcke:"; }));
  EXPECT_EQ(f.Text("RxTxBytesLbl"), "Gesendete Bytes:");
  QCoreApplication::postEvent(&f.window(), new PortEvent(kWmPortUpdate, 1, 1));
  ASSERT_TRUE(
      WaitUntil([&] { return f.Text("RxTxDatenBloeckeLbl") == "Empfangene Datenblöcke:"; }));
  EXPECT_EQ(f.Text("RxTxBytesLbl"), "Empfangene Bytes:");
}

}  // namespace
}  // namespace quillon
