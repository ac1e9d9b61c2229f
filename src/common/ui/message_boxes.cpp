#include "common/ui/message_boxes.h"

#include <QMessageBox>
#include <QPushButton>

#include "common/texts.h"

namespace quillon {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QPushButton* AddButton(QMessageBox& box, const char* text, const char* name,
                       QMessageBox::ButtonRole role) {
  QPushButton* button = box.addButton(QString::fromUtf8(text), role);
  button->setObjectName(name);
  return button;
}

void Prepare(QMessageBox& box, QMessageBox::Icon icon, const char* caption,
             const std::string& text) {
  box.setObjectName("quillonMessageBox");
  box.setIcon(icon);
  box.setWindowTitle(QString::fromUtf8(caption));
  box.setText(Q(BoxText(text)));
  box.setTextFormat(Qt::PlainText);
}

}  // namespace

std::string BoxText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

void ShowMessageBox(QWidget* parent, MessageKind kind, const std::string& text) {
  QMessageBox box(parent);
  const QMessageBox::Icon icon = kind == MessageKind::Error     ? QMessageBox::Critical
                                 : kind == MessageKind::Warning ? QMessageBox::Warning
                                                                : QMessageBox::Information;
  Prepare(box, icon, MessageCaption(kind), text);
  QPushButton* ok = AddButton(box, "OK", "okButton", QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.exec();
}

bool AskYesNoBox(QWidget* parent, const std::string& text) {
  QMessageBox box(parent);
  Prepare(box, QMessageBox::Question, txt::kCaptionQuestion, text);
  QPushButton* yes = AddButton(box, "&Ja", "yesButton", QMessageBox::YesRole);
  QPushButton* no = AddButton(box, "&Nein", "noButton", QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes;
}

YesNoCancel AskYesNoCancelBox(QWidget* parent, const std::string& text) {
  QMessageBox box(parent);
  Prepare(box, QMessageBox::Question, txt::kCaptionQuestion, text);
  QPushButton* yes = AddButton(box, "&Ja", "yesButton", QMessageBox::YesRole);
  QPushButton* no = AddButton(box, "&Nein", "noButton", QMessageBox::NoRole);
  QPushButton* cancel = AddButton(box, "&Abbrechen", "cancelButton", QMessageBox::RejectRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() == yes) return YesNoCancel::Yes;
  if (box.clickedButton() == no) return YesNoCancel::No;
  return YesNoCancel::Cancel;
}

}  // namespace quillon
