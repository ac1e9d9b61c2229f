#include "config/ui/poll_test_control.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QSignalBlocker>

#include "common/ui/message_boxes.h"
#include "polling/poll_texts.h"
#include "polling/poll_times.h"

namespace quillon {

PollTestControl::PollTestControl(QAbstractButton* toggle, QLabel* address, QLabel* times,
                                 QObject* parent)
    : QObject(parent), toggle_(toggle), address_(address), times_(times) {}

// The labels and the button may already be gone: only the thread is ended.
PollTestControl::~PollTestControl() { EndThread(); }

void PollTestControl::EndThread() {
  ++generation_;
  if (test_) test_->Stop();
  test_.reset();
}

void PollTestControl::SetAddresses(const std::vector<std::string>& addresses) {
  input_->SetAddresses(addresses);
}

void PollTestControl::SetInterval(int ms) { input_->SetInterval(ms); }

bool PollTestControl::Start(const PollTestLine& line) {
  EndThread();
  address_->setText(QString::fromUtf8(txt::kPollTestNoValue));
  times_->setText(QString::fromStdString(PollTimes{}.Text()));
  const int generation = ++generation_;
  // The callbacks run on the test's thread: each hands its work to this object's thread and
  // returns at once, so stopping the test never waits for the dialog.
  auto later = [this, generation](auto work) {
    QMetaObject::invokeMethod(
        this,
        [this, generation, work] {
          if (generation == generation_) work();
        },
        Qt::QueuedConnection);
  };
  PollTestCallbacks callbacks;
  callbacks.shown = [later, this](const std::string& address, const std::string& times) {
    later([this, address, times] {
      address_->setText(QString::fromStdString(address));
      times_->setText(QString::fromStdString(times));
    });
  };
  callbacks.openFailed = [later, this](const std::string& message) {
    later([this, message] { ShowMessageBox(toggle_->window(), MessageKind::Error, message); });
  };
  callbacks.ended = [later, this] {
    later([this] {
      if (test_) test_->Stop();
      test_.reset();
      Release();
    });
  };
  test_ = TPolltestThread::Start(line, input_, std::move(callbacks));
  if (!test_) {
    Release();
    return false;
  }
  return true;
}

void PollTestControl::Stop() {
  EndThread();
  Release();
}

void PollTestControl::Release() {
  const QSignalBlocker block(toggle_);
  toggle_->setChecked(false);
}

}  // namespace quillon
