// The send dialog as the user meets it: the present ports, "&Senden" only for an existing file,
// a standard send that arrives, a cancelled X-Modem send, the choice remembered.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <cstdlib>

#include "../shell/box_answerer.h"
#include "../shell/window_fixture.h"
#include "send/ui/tx_form.h"

namespace quillon {
namespace {

using test::WaitUntil;

TEST(SendDialog, SendsCancelsAndRemembersTheChoice) {
  test::WindowFixture f;
  ASSERT_TRUE(f.Terminal(1, {"--receive", "got.txt"}));
  ASSERT_TRUE(f.HoldLine(1));
  f.IdleLine(2);
  f.Active(1);
  ASSERT_TRUE(f.Start());
  const std::string data = "erste Zeile\r\nzweite Zeile\r\n";
  test::WriteBytes(f.dir.File("senden.dat"), data);
  const char* shots = std::getenv("QUILLON_SCREENSHOTS");

  bool driven = false;
  QTimer::singleShot(0, [&] {
    auto* form = qobject_cast<TTxForm*>(QApplication::activeModalWidget());
    ASSERT_NE(form, nullptr);
    form->setProperty("quillonTestAnswered", true);  // the answerer leaves the dialog alone
    test::BoxAnswerer boxes;
    auto* ports = form->findChild<QComboBox*>("PortBox");
    auto* protocols = form->findChild<QComboBox*>("ProtocolBox");
    auto* file = form->findChild<QLineEdit*>("FileNameEdit");
    auto* send = form->findChild<QPushButton*>("SendBtn");
    auto* pages = form->findChild<QStackedWidget*>();
    ASSERT_EQ(ports->count(), 8) << "every remapped port is present";
    ASSERT_EQ(ports->itemText(1), "com2:");
    EXPECT_FALSE(send->isEnabled()) << "no file yet";
    file->setText(f.dir.File("fehlt.dat").c_str());
    EXPECT_FALSE(send->isEnabled()) << "a missing file";
    file->setText(f.dir.File("senden.dat").c_str());
    ASSERT_TRUE(send->isEnabled());

    // Standard into the terminal on COM1.
    if (shots != nullptr) form->grab().save(QString(shots) + "/send-selection.png");
    send->click();
    EXPECT_EQ(pages->currentIndex(), 1);
    if (shots != nullptr) form->grab().save(QString(shots) + "/send-status.png");
    ASSERT_TRUE(WaitUntil([&] { return pages->currentIndex() == 0 && send->isEnabled(); }));
    EXPECT_EQ(f.sims[1]->Wait(test::kUiWaitMs), 0);
    const std::string got = test::ReadBytes(f.dir.File("got.txt"));
    EXPECT_EQ(got.substr(got.find("\r\n") + 2), data);

    // X-Modem on the idle COM2 waits for a receiver that never comes: ESC cancels it.
    ports->setCurrentIndex(1);
    protocols->setCurrentText("X-Modem");
    send->click();
    ASSERT_EQ(pages->currentIndex(), 1);
    QTest::keyClick(form, Qt::Key_Escape);
    ASSERT_TRUE(WaitUntil([&] { return boxes.Count("abgebrochen") == 1; }));
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_TRUE(form->isVisible()) << "ESC during a send only cancels it";
    EXPECT_EQ(boxes.seen().size(), 1u) << "no failure box after a cancel";
    form->findChild<QPushButton*>("EndeBtn")->click();
    driven = true;
  });
  f.Key(Qt::Key_F6);
  ASSERT_TRUE(driven);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

  // Opened again: the last file, port and protocol.
  bool reopened = false;
  QTimer::singleShot(0, [&] {
    reopened = true;
    auto* form = qobject_cast<TTxForm*>(QApplication::activeModalWidget());
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->findChild<QLineEdit*>("FileNameEdit")->text().toStdString(),
              f.dir.File("senden.dat"));
    EXPECT_EQ(form->findChild<QComboBox*>("PortBox")->currentIndex(), 1);
    EXPECT_EQ(form->findChild<QComboBox*>("ProtocolBox")->currentText(), "X-Modem");
    form->findChild<QPushButton*>("EndeBtn")->click();
  });
  f.Find<QAction>("SendenItem")->trigger();
  EXPECT_TRUE(reopened);
}

}  // namespace
}  // namespace quillon
