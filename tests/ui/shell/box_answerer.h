#pragma once
// Answers every modal window that opens while it lives: a message box by the first rule whose
// text it contains, else by "&Nein" (or "OK" where there is no "&Nein"); any other dialog, such
// as the setup or password dialog, is cancelled. What was seen is kept for the test.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QVariant>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace quillon::test {

class BoxAnswerer {
 public:
  struct Seen {
    std::string title;
    std::string text;  // empty for a dialog that is no message box
  };

  BoxAnswerer() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }

  // A message box whose text contains `textPart` is answered with the button named `button`
  // ("yesButton", "noButton", "okButton").
  void On(const std::string& textPart, const std::string& button) {
    rules_.emplace_back(textPart, button);
  }

  const std::vector<Seen>& seen() const { return seen_; }
  int Count(const std::string& textPart) const {
    int n = 0;
    for (const Seen& s : seen_) n += s.text.find(textPart) != std::string::npos;
    return n;
  }
  // Dialogs other than message boxes that were cancelled.
  int otherDialogs() const { return otherDialogs_; }

 private:
  void Poll() {
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr || w->property("quillonTestAnswered").toBool()) return;
    w->setProperty("quillonTestAnswered", true);
    auto* box = qobject_cast<QMessageBox*>(w);
    if (box == nullptr) {
      seen_.push_back({w->windowTitle().toStdString(), {}});
      ++otherDialogs_;
      // Closed as it stands, without the questions its own "Abbrechen" may ask.
      if (auto* dialog = qobject_cast<QDialog*>(w)) {
        Later([d = QPointer<QDialog>(dialog)] {
          if (d) d->done(QDialog::Rejected);
        });
      }
      return;
    }
    const std::string text = box->text().toStdString();
    seen_.push_back({box->windowTitle().toStdString(), text});
    std::string button = box->findChild<QAbstractButton*>("noButton") ? "noButton" : "okButton";
    for (const auto& [part, name] : rules_) {
      if (text.find(part) != std::string::npos) {
        button = name;
        break;
      }
    }
    if (auto* b = box->findChild<QAbstractButton*>(QString::fromStdString(button))) {
      Later([p = QPointer<QAbstractButton>(b)] {
        if (p) p->click();
      });
    }
  }

  // The answer runs outside this timer's call, so that a box it leads to is seen as well.
  static void Later(std::function<void()> act) { QTimer::singleShot(0, std::move(act)); }

  QTimer timer_;
  std::vector<std::pair<std::string, std::string>> rules_;
  std::vector<Seen> seen_;
  int otherDialogs_ = 0;
};

}  // namespace quillon::test
