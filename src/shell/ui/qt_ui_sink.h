#pragma once
// The engine's way to the user when the receiver runs with its window.
//
// Post* may be called from any thread: each posts a PortEvent to the target window and returns
// at once; no widget is touched outside the main thread. The pending flags in TMyThreads (set by
// the callers) keep at most one update and one LED event per port in the queue.
//
// ShowMessage and AskYesNo show the program's German boxes. On the main thread they are shown
// directly. From a worker thread the request is handed to the main thread and the worker waits
// for the answer, like a blocking queued call, with one difference: while the main thread itself
// waits for the receive threads to end (RefuseWorkerDialogs), a waiting worker gets its safe
// answer at once instead of waiting for a box that could never be shown.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "common/ui_sink.h"

namespace quillon {

class QtUiSink : public UiSink {
 public:
  QtUiSink() = default;
  ~QtUiSink() override;
  QtUiSink(const QtUiSink&) = delete;
  QtUiSink& operator=(const QtUiSink&) = delete;

  // The window that receives the posted events and parents the boxes (main thread). Without a
  // target, posted events are dropped.
  void SetTarget(QWidget* target);

  void PostPortUpdate(int port, bool countersOnly) override;
  void PostPortLed(int port, int ledState) override;
  void PostSendFile(int port) override;
  void PostSendProgress(int port, int value) override;
  void PostSendResult(int port, int result) override;

  void ShowMessage(MessageKind kind, const std::string& text) override;
  bool AskYesNo(const std::string& text, bool safeAnswer) override;

  // Main thread: while set, boxes asked for by worker threads are answered with their safe
  // answer (an information box counts as seen), waiting ones included.
  void RefuseWorkerDialogs(bool refuse);

  // The program is ending and nobody will answer: from now on every box, from any thread,
  // becomes one line on stderr and every question takes its safe answer, as without windows.
  void SetUnattended();

 private:
  struct Request {
    bool question = false;
    MessageKind kind = MessageKind::Information;
    std::string text;
    bool answer = false;  // the safe answer until the user gave one
    bool done = false;
  };

  void Post(int type, int port, int param);
  static bool OnMainThread();
  // Shows the box at once on the main thread; from a worker, hands it over and waits.
  bool HandOver(Request request);
  // Main thread: shows the boxes asked for by workers, oldest first.
  void ServeWorkerRequests();
  bool ShowOnMainThread(const Request& request);
  bool WriteUnattended(const Request& request);
  QWidget* BoxParent() const;

  std::mutex mutex_;  // guards target_ for posting, queue_, refuse_, every Request
  std::condition_variable answered_;
  QPointer<QWidget> target_;
  std::deque<std::shared_ptr<Request>> queue_;
  bool refuse_ = false;
  std::atomic<bool> unattended_{false};
  // Runs the hand-over on the main thread; pending hand-overs end with it.
  QObject dispatcher_;
};

}  // namespace quillon
