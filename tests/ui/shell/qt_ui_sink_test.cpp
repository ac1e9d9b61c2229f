// The window's side of the engine's messages: events posted from worker threads, LED states,
// and boxes asked for by a worker thread.
#include "shell/ui/qt_ui_sink.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>
#include <atomic>
#include <thread>

#include "box_answerer.h"
#include "shell/ui/led.h"
#include "shell/ui/port_events.h"
#include "window_fixture.h"

namespace quillon {
namespace {

using test::BoxAnswerer;
using test::WaitUntil;

// Records the port events that arrive, with the thread they arrive on.
class EventTarget : public QWidget {
 public:
  bool event(QEvent* e) override {
    if (!PortEvent::IsPortEvent(e)) return QWidget::event(e);
    const auto* pe = static_cast<PortEvent*>(e);
    received.push_back({static_cast<int>(pe->type()), pe->port(), pe->param()});
    onMainThread = onMainThread && QThread::currentThread() == thread();
    return true;
  }
  struct Seen {
    int type, port, param;
    bool operator==(const Seen&) const = default;
  };
  std::vector<Seen> received;
  bool onMainThread = true;
};

TEST(QtUiSink, PostsFromAWorkerArriveInOrderOnTheMainThread) {
  QtUiSink sink;
  EventTarget target;
  sink.SetTarget(&target);
  std::thread worker([&] {
    sink.PostPortUpdate(3, true);
    sink.PostPortLed(3, kLedBusy);
    sink.PostSendFile(5);
    sink.PostSendProgress(-2, 40);
    sink.PostSendResult(2, -150);
  });
  worker.join();
  ASSERT_TRUE(WaitUntil([&] { return target.received.size() == 5; }));
  EXPECT_TRUE(target.onMainThread);
  const std::vector<EventTarget::Seen> expected = {
      {0x500, 3, 1}, {0x502, 3, 1}, {0x503, 5, 0}, {0x501, -2, 40}, {0x504, 2, -150}};
  EXPECT_EQ(target.received, expected);

  // Without a target nothing is posted anywhere.
  sink.SetTarget(nullptr);
  sink.PostPortUpdate(1, false);
  QTest::qWait(20);
  EXPECT_EQ(target.received.size(), 5u);
}

TEST(QtUiSink, WorkerQuestionIsAskedOnTheMainThreadAndWaitsForTheAnswer) {
  QtUiSink sink;
  BoxAnswerer answers;
  answers.On("Debugdatei", "yesButton");
  std::atomic<int> answer{-1};
  std::thread worker([&] { answer = sink.AskYesNo("Debugdatei anlegen ?", false) ? 1 : 0; });
  ASSERT_TRUE(WaitUntil([&] { return answer.load() != -1; }));
  worker.join();
  EXPECT_EQ(answer.load(), 1) << "the user's answer, not the safe one";
  ASSERT_EQ(answers.seen().size(), 1u);
  EXPECT_EQ(answers.seen()[0].title, "Bestätigung");

  std::atomic<bool> shown{false};
  std::thread informer([&] {
    sink.ShowMessage(MessageKind::Error, "Fehler beim Öffnen der Schnittstelle COM3:");
    shown = true;
  });
  ASSERT_TRUE(WaitUntil([&] { return shown.load(); }));
  informer.join();
  EXPECT_EQ(answers.seen().back().title, "Fehler");
}

// While the main thread waits for the receive threads to end it cannot show a box: a worker
// asking meanwhile gets its safe answer instead of waiting for ever.
TEST(QtUiSink, RefusedWhileTheMainThreadWaitsForTheWorkers) {
  QtUiSink sink;
  std::atomic<int> answer{-1};
  std::thread worker([&] { answer = sink.AskYesNo("Debugdatei anlegen ?", true) ? 1 : 0; });
  // The main thread does not run its loop here, as while it stops reception.
  for (int i = 0; i < 100 && answer.load() == -1; ++i) {
    sink.RefuseWorkerDialogs(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  worker.join();
  EXPECT_EQ(answer.load(), 1);
  sink.RefuseWorkerDialogs(false);
}

TEST(QtUiSink, LedStatesOfAPort) {
  TLED led;
  led.ShowPortState(kLedReady);
  EXPECT_EQ(led.color(), TLED::Color::Green);
  EXPECT_TRUE(led.lit());
  led.ShowPortState(kLedBusy);
  EXPECT_FALSE(led.lit()) << "busy inverts the lit state";
  led.ShowPortState(kLedBusy);
  EXPECT_TRUE(led.lit());
  led.ShowPortState(kLedError);
  EXPECT_EQ(led.color(), TLED::Color::Red);
  EXPECT_TRUE(led.lit());
  led.ShowPortState(kLedClosed);
  EXPECT_EQ(led.color(), TLED::Color::Yellow);
  EXPECT_FALSE(led.lit());
}

TEST(QtUiSink, LedEventSetsTheLedOfThePortsButtonAndClearsItsPendingFlag) {
  test::WindowFixture f;
  f.IdleLine(2);
  f.IdleLine(6);
  f.Active(2);
  f.Active(6);
  ASSERT_TRUE(f.Start());
  TMyThreads& com6 = f.receiver->status()[6];
  com6.LedPending = true;
  com6.LedState = kLedError;
  QCoreApplication::postEvent(&f.window(), new PortEvent(kWmPortLed, 6, kLedError));
  ASSERT_TRUE(WaitUntil([&] { return !com6.LedPending.load(); }));
  EXPECT_EQ(f.Led("ComLED2")->color(), TLED::Color::Red) << "COM6 has the second button";
  EXPECT_EQ(f.Led("ComLED1")->color(), TLED::Color::Yellow);

  // A thread that reported busy and then ready while the busy message was still queued: the
  // ready state was not posted, yet the LED ends green and lit.
  com6.LedPending = true;
  com6.LedState = kLedReady;
  QCoreApplication::postEvent(&f.window(), new PortEvent(kWmPortLed, 6, kLedBusy));
  ASSERT_TRUE(WaitUntil([&] { return !com6.LedPending.load(); }));
  EXPECT_EQ(f.Led("ComLED2")->color(), TLED::Color::Green);
  EXPECT_TRUE(f.Led("ComLED2")->lit());
}

}  // namespace
}  // namespace quillon
