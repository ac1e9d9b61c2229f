// The about box: name, version and the memory available, opened with F1.
#include "shell/ui/about_box.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QTimer>
#include <cstdlib>

#include "window_fixture.h"

namespace quillon {
namespace {

TEST(AboutBox, MemoryLineFromMeminfo) {
  const char* meminfo =
      "MemTotal:       16303548 kB\nMemFree:         1234567 kB\nMemAvailable:   "
      "12345678 kB\nBuffers:          204800 kB\n";
  EXPECT_EQ(MemAvailableKb(meminfo), 12345678);
  EXPECT_EQ(AvailableMemoryText(MemAvailableKb(meminfo)), "Verfügbarer Arbeitsspeicher: 12.056 MB");
  EXPECT_EQ(MemAvailableKb("MemTotal: 1 kB\n"), std::nullopt) << "an old kernel";
  EXPECT_EQ(MemAvailableKb("MemAvailable: viel\n"), std::nullopt);
  EXPECT_EQ(AvailableMemoryText(std::nullopt), "Verfügbarer Arbeitsspeicher: unbekannt");
}

TEST(AboutBox, F1ShowsNameVersionAndMemory) {
  test::WindowFixture f;
  f.IdleLine(1);
  f.Active(1);
  ASSERT_TRUE(f.Start());
  QString version;
  QString memory;
  QString title;
  QTimer::singleShot(50, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (box == nullptr) return;
    title = box->windowTitle();
    version = box->findChild<QLabel*>("Version")->text();
    memory = box->findChild<QLabel*>("Memory")->text();
    if (const char* dir = std::getenv("QUILLON_SCREENSHOTS")) {
      box->grab().save(QString(dir) + "/about.png");
    }
    QTest::keyClick(box, Qt::Key_Return);  // OK is the default button
  });
  f.Key(Qt::Key_F1);
  EXPECT_EQ(title, "Programmversion");
  EXPECT_EQ(version, QString("Version ") + QUILLON_VERSION);
  EXPECT_TRUE(memory.startsWith("Verfügbarer Arbeitsspeicher: ")) << memory.toStdString();
  EXPECT_TRUE(memory.endsWith(" MB")) << memory.toStdString();
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "Enter closed the box";
}

}  // namespace
}  // namespace quillon
