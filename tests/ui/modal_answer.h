#pragma once
// Answers the modal box or dialog that a window is about to open: the test arms an answer,
// then triggers the action; the answer presses the named button once the box is up and keeps
// the box's text for the test to look at.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QVariant>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillon::test {

struct SeenBox {
  std::string title;
  std::string text;
};

class ModalAnswers {
 public:
  // Each armed answer handles the next modal window: `act` gets it (for a message box: press
  // the button named `button`, e.g. "yesButton").
  void Press(const std::string& button) {
    Arm([button](QWidget* w) {
      if (auto* b = w->findChild<QAbstractButton*>(QString::fromStdString(button))) b->click();
    });
  }
  void Arm(std::function<void(QWidget*)> act) {
    pending_.push_back(std::move(act));
    if (!timer_) {
      timer_ = std::make_unique<QTimer>();
      timer_->setInterval(10);
      QObject::connect(timer_.get(), &QTimer::timeout, [this] { Poll(); });
      timer_->start();
    }
  }
  bool Done() const { return pending_.empty(); }
  const std::vector<SeenBox>& seen() const { return seen_; }

 private:
  void Poll() {
    QWidget* w = QApplication::activeModalWidget();
    // A box already answered is marked, so a new box at the same address is still seen.
    if (!w || w->property("quillonAnswered").toBool() || pending_.empty()) return;
    w->setProperty("quillonAnswered", true);
    SeenBox box{w->windowTitle().toStdString(), {}};
    if (auto* m = qobject_cast<QMessageBox*>(w)) box.text = m->text().toStdString();
    seen_.push_back(box);
    auto act = std::move(pending_.front());
    pending_.erase(pending_.begin());
    act(w);
  }

  std::vector<std::function<void(QWidget*)>> pending_;
  std::vector<SeenBox> seen_;
  std::unique_ptr<QTimer> timer_;
};

}  // namespace quillon::test
