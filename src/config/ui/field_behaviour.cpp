#include "config/ui/field_behaviour.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace quillon {
namespace {

// Watches the control and the text field inside it (spin boxes hand their keys to one).
class EnterMovesFocus : public QObject {
 public:
  explicit EnterMovesFocus(QWidget* control) : QObject(control), control_(control) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    FocusNextControl(control_);
    return true;
  }

 private:
  QWidget* control_;
};

class LeaveWatcher : public QObject {
 public:
  LeaveWatcher(QWidget* w, std::function<void()> check) : QObject(w), check_(std::move(check)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::FocusOut) return false;
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return false;
    QPointer<QWidget> w = static_cast<QWidget*>(watched);
    QTimer::singleShot(0, this, [this, w] {
      if (w && w->isVisible()) check_();
    });
    return false;
  }

 private:
  std::function<void()> check_;
};

}  // namespace

void FocusNextControl(QWidget* w) {
  QWidget* focus = QApplication::focusWidget();
  if (focus != w && !w->isAncestorOf(focus)) w->setFocus(Qt::OtherFocusReason);
  QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &tab);
}

void MoveFocusOnEnter(QWidget* w) {
  auto* filter = new EnterMovesFocus(w);
  w->installEventFilter(filter);
  if (auto* inner = w->findChild<QLineEdit*>()) inner->installEventFilter(filter);
}

void OnLeave(QWidget* w, std::function<void()> check) {
  w->installEventFilter(new LeaveWatcher(w, std::move(check)));
}

}  // namespace quillon
