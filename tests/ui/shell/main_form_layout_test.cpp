// The main window's ports, pages, menus and keys as the user meets them after the start.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTranslator>

#include "box_answerer.h"
#include "shell/ui/qt_translation.h"
#include "window_fixture.h"

namespace quillon {
namespace {

using test::BoxAnswerer;
using test::WaitUntil;
using test::WindowFixture;

// Every visible widget lies inside the window, nothing is cut off by the fixed frame.
void ExpectNothingCutOff(QWidget& window) {
  const QRect inside = window.rect();
  for (QWidget* w : window.findChildren<QWidget*>()) {
    if (!w->isVisible() || w->isWindow()) continue;
    const QRect r(w->mapTo(&window, QPoint(0, 0)), w->size());
    EXPECT_TRUE(inside.contains(r))
        << w->objectName().toStdString() << " at " << r.x() << "," << r.y() << " " << r.width()
        << "x" << r.height() << " outside " << inside.width() << "x" << inside.height();
  }
}

TEST(MainFormLayout, ActivePortsGetTheFirstButtonsInOrder) {
  WindowFixture f;
  f.IdleLine(2);
  f.IdleLine(5);
  f.Active(2);
  f.Active(5);
  ASSERT_TRUE(f.Start());
  EXPECT_EQ(f.window().windowTitle(), "Quillon");
  auto* first = f.Find<QPushButton>("ComBtn1");
  auto* second = f.Find<QPushButton>("ComBtn2");
  EXPECT_EQ(first->text(), "com2:");
  EXPECT_EQ(second->text(), "com5:");
  EXPECT_TRUE(first->isChecked());
  EXPECT_FALSE(second->isChecked());
  EXPECT_TRUE(second->isVisible());
  EXPECT_TRUE(f.Led("ComLED2")->isVisible());
  for (int n = 3; n <= 8; ++n) {
    const std::string name = std::to_string(n);
    EXPECT_FALSE(f.Find<QPushButton>(("ComBtn" + name).c_str())->isVisible()) << n;
    EXPECT_FALSE(f.Led(("ComLED" + name).c_str())->isVisible()) << n;
  }
  EXPECT_EQ(f.window().ShownPort(), 2);
  EXPECT_EQ(first->toolTip(), "Status/Daten/Logbuch der Schnittstelle anzeigen");

  // The second button shows COM5.
  second->click();
  EXPECT_EQ(f.window().ShownPort(), 5);
  EXPECT_TRUE(second->isChecked());
  EXPECT_FALSE(first->isChecked());

  auto* pages = f.Find<QTabWidget>("PC");
  EXPECT_EQ(pages->currentWidget()->objectName(), "TSStatus");
  EXPECT_TRUE(pages->tabBar()->isVisible());
  EXPECT_FALSE(pages->isTabVisible(pages->indexOf(f.Find<QWidget>("TSLeer"))));
  ExpectNothingCutOff(f.window());
  EXPECT_EQ(f.window().minimumSize(), f.window().maximumSize()) << "a fixed frame";
}

TEST(MainFormLayout, MenusKeysAndPagesAgree) {
  WindowFixture f;
  f.IdleLine(1);
  f.Active(1);
  ASSERT_TRUE(f.Start());
  QStringList menus;
  for (QAction* a : f.window().menuBar()->actions()) menus << a->text();
  EXPECT_EQ(menus, QStringList({"&Datei", "&Ansicht", "&Programm", "&Info"}));
  auto items = [&](const char* menu) {
    QStringList texts;
    for (QAction* a : f.Find<QMenu>(menu)->actions()) {
      if (!a->isSeparator())
        texts << a->text() + (a->shortcut().isEmpty() ? "" : " " + a->shortcut().toString());
    }
    return texts;
  };
  EXPECT_EQ(items("DateiMenu"), QStringList({"&Empfang starten F5", "&Senden F6", "&Beenden"}));
  EXPECT_EQ(items("AnsichtMenu"), QStringList({"&Status", "&Daten", "&Logbuch"}));
  EXPECT_EQ(items("ProgrammMenu"), QStringList({"&Einstellungen F9"}));
  EXPECT_EQ(items("InfoMenu"), QStringList({"&Programmversion F1"}));
  EXPECT_EQ(f.Find<QToolButton>("StartStopBtn")->toolTip(), "Empfang starten/stoppen (F5)");
  EXPECT_EQ(f.Find<QToolButton>("TxBtn")->toolTip(), "Datei/Programm senden (F6)");
  EXPECT_EQ(f.Find<QToolButton>("KonfigBtn")->toolTip(), "Einstellungen (F9)");

  // A menu item selects its page; a tab checks its menu item.
  auto* pages = f.Find<QTabWidget>("PC");
  f.Find<QAction>("LogbuchItem")->trigger();
  EXPECT_EQ(pages->currentWidget()->objectName(), "TSLogbuch");
  pages->setCurrentWidget(f.Find<QWidget>("TSDaten"));
  EXPECT_TRUE(f.Find<QAction>("DatenItem")->isChecked());
  EXPECT_FALSE(f.Find<QAction>("LogbuchItem")->isChecked());

  // The logbook page is filled when it is chosen: the start line is there.
  f.Find<QAction>("LogbuchItem")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return !f.MemoLines("Logbuchzeilen").isEmpty(); }));
  EXPECT_TRUE(
      f.MemoLines("Logbuchzeilen").last().endsWith("------- Quillon wird gestartet -------"));

  // F5 reaches the window while a memo has the focus.
  f.Find<QPlainTextEdit>("Logbuchzeilen")->setFocus();
  f.Key(Qt::Key_F5);
  EXPECT_TRUE(f.window().Receiving());
  EXPECT_EQ(f.Find<QAction>("EmpfangItem")->text(), "&Empfang gestartet");
  EXPECT_TRUE(f.Find<QAction>("EmpfangItem")->isChecked());
  EXPECT_TRUE(f.Find<QToolButton>("StartStopBtn")->isChecked());
  EXPECT_TRUE(f.Led("LED")->lit());
  EXPECT_EQ(f.Led("LED")->color(), TLED::Color::Green);

  // Pressing the button while reception runs stops it; button and menu stay in step.
  f.Find<QToolButton>("StartStopBtn")->click();
  EXPECT_FALSE(f.window().Receiving());
  EXPECT_EQ(f.Find<QAction>("EmpfangItem")->text(), "&Empfang starten");
  EXPECT_FALSE(f.Find<QAction>("EmpfangItem")->isChecked());
  EXPECT_FALSE(f.Find<QToolButton>("StartStopBtn")->isChecked());
  EXPECT_FALSE(f.Led("LED")->lit());
  EXPECT_EQ(f.Led("LED")->color(), TLED::Color::Yellow);
}

TEST(MainFormLayout, WithoutActivePortF5DoesNothing) {
  WindowFixture f;
  f.Install();
  f.receiver = std::make_unique<WindowedReceiver>();
  f.window().show();
  QApplication::setActiveWindow(&f.window());
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f.window()));
  f.Key(Qt::Key_F5);
  EXPECT_FALSE(f.window().Receiving());
  EXPECT_FALSE(f.Find<QAction>("EmpfangItem")->isEnabled());
  EXPECT_FALSE(f.Find<QAction>("SendenItem")->isEnabled());
  EXPECT_FALSE(f.Find<QAction>("StatusItem")->isEnabled());
  EXPECT_FALSE(f.Find<QToolButton>("StartStopBtn")->isEnabled());
  EXPECT_TRUE(f.Find<QToolButton>("KonfigBtn")->isEnabled());
  auto* pages = f.Find<QTabWidget>("PC");
  EXPECT_EQ(pages->currentWidget()->objectName(), "TSLeer");
  EXPECT_FALSE(pages->tabBar()->isVisible());
  for (int n = 1; n <= 8; ++n) {
    EXPECT_FALSE(f.Find<QPushButton>(("ComBtn" + std::to_string(n)).c_str())->isVisible());
  }
}

TEST(MainFormLayout, StartWithoutActivePortAsksForSettingsThenCloses) {
  WindowFixture f;
  f.IdleLine(3);  // present but not active
  BoxAnswerer answers;
  ASSERT_TRUE(f.Start());
  EXPECT_TRUE(f.window().HasClosed());
  EXPECT_FALSE(f.window().isVisible());
  ASSERT_GE(answers.seen().size(), 2u);
  EXPECT_EQ(answers.seen().front().title, "Information");
  EXPECT_EQ(answers.seen().front().text,
            "Bitte konfigurieren bzw. aktivieren Sie zuerst eine serielle Schnittstelle !");
  EXPECT_EQ(answers.seen().back().title, "Fehler");
  EXPECT_EQ(answers.seen().back().text,
            "Das Programm wird beendet, da keine serielle Schnittstelle\nkonfiguriert bzw. "
            "aktiviert wurde!");
}

// Qt's own dialogs, such as the file browser of the settings, speak German like the rest.
TEST(MainFormLayout, QtsOwnDialogsSpeakGerman) {
  QTranslator* german = InstallGermanQtTranslation(*qApp);
  ASSERT_NE(german, nullptr) << "Qt's German translation (qt6-translations-l10n) is missing";
  {
    QFileDialog browser;
    browser.setOption(QFileDialog::DontUseNativeDialog);
    browser.setAcceptMode(QFileDialog::AcceptSave);
    EXPECT_EQ(browser.findChild<QLabel*>("lookInLabel")->text(), "Suchen in:");
    auto* buttons = browser.findChild<QDialogButtonBox*>("buttonBox");
    EXPECT_EQ(buttons->button(QDialogButtonBox::Save)->text().remove('&'), "Speichern");
    EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text().remove('&'), "Abbrechen");
  }
  QCoreApplication::removeTranslator(german);
  delete german;
}

}  // namespace
}  // namespace quillon
