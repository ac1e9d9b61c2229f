#include "shell/ui/qt_ui_sink.h"

#include <QApplication>
#include <QThread>
#include <cstdio>

#include "common/ui/message_boxes.h"
#include "common/unattended_box.h"
#include "shell/ui/port_events.h"

namespace quillon {

QtUiSink::~QtUiSink() { RefuseWorkerDialogs(true); }

void QtUiSink::SetTarget(QWidget* target) {
  std::lock_guard lock(mutex_);
  target_ = target;
}

bool QtUiSink::OnMainThread() {
  return QCoreApplication::instance() != nullptr &&
         QThread::currentThread() == QCoreApplication::instance()->thread();
}

void QtUiSink::Post(int type, int port, int param) {
  // Held while posting, so that SetTarget(nullptr) before the window goes away cannot race
  // with a worker that is just posting to it.
  std::lock_guard lock(mutex_);
  if (target_.isNull()) return;
  QCoreApplication::postEvent(target_.data(),
                              new PortEvent(static_cast<PortEventType>(type), port, param));
}

void QtUiSink::PostPortUpdate(int port, bool countersOnly) {
  Post(kWmPortUpdate, port, countersOnly ? 1 : 0);
}
void QtUiSink::PostPortLed(int port, int ledState) { Post(kWmPortLed, port, ledState); }
void QtUiSink::PostSendFile(int port) { Post(kWmPortSendFile, port, 0); }
void QtUiSink::PostSendProgress(int port, int value) { Post(kWmSendProgress, port, value); }
void QtUiSink::PostSendResult(int port, int result) { Post(kWmSendResult, port, result); }

QWidget* QtUiSink::BoxParent() const {
  QWidget* target = target_.data();
  return target != nullptr && target->isVisible() ? target : nullptr;
}

bool QtUiSink::WriteUnattended(const Request& request) {
  if (request.question) return WriteUnattendedQuestion(stderr, request.text, request.answer);
  WriteUnattendedMessage(stderr, request.kind, request.text);
  return request.answer;
}

void QtUiSink::SetUnattended() {
  unattended_ = true;
  RefuseWorkerDialogs(true);
}

bool QtUiSink::ShowOnMainThread(const Request& request) {
  if (unattended_) return WriteUnattended(request);
  if (request.question) return AskYesNoBox(BoxParent(), request.text);
  ShowMessageBox(BoxParent(), request.kind, request.text);
  return true;
}

void QtUiSink::ShowMessage(MessageKind kind, const std::string& text) {
  HandOver({.question = false, .kind = kind, .text = text, .answer = true});
}

bool QtUiSink::AskYesNo(const std::string& text, bool safeAnswer) {
  return HandOver({.question = true, .text = text, .answer = safeAnswer});
}

bool QtUiSink::HandOver(Request request) {
  if (OnMainThread() || unattended_) return ShowOnMainThread(request);
  auto shared = std::make_shared<Request>(std::move(request));
  std::unique_lock lock(mutex_);
  if (refuse_) return shared->answer;
  queue_.push_back(shared);
  QMetaObject::invokeMethod(
      &dispatcher_, [this] { ServeWorkerRequests(); }, Qt::QueuedConnection);
  answered_.wait(lock, [&] { return shared->done; });
  return shared->answer;
}

void QtUiSink::ServeWorkerRequests() {
  for (;;) {
    std::shared_ptr<Request> request;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return;
      request = queue_.front();
      queue_.pop_front();
    }
    // The box runs without the lock: workers may post meanwhile.
    const bool answer = ShowOnMainThread(*request);
    {
      std::lock_guard lock(mutex_);
      if (request->question) request->answer = answer;
      request->done = true;
    }
    answered_.notify_all();
  }
}

void QtUiSink::RefuseWorkerDialogs(bool refuse) {
  {
    std::lock_guard lock(mutex_);
    refuse_ = refuse;
    if (!refuse) return;
    for (const auto& request : queue_) request->done = true;
    queue_.clear();
  }
  answered_.notify_all();
}

}  // namespace quillon
