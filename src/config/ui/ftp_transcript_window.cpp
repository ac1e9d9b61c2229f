#include "config/ui/ftp_transcript_window.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/ui/setup_page.h"
#include "config/ui/setup_texts.h"

namespace quillon {
namespace {
constexpr const char* kCloseButton = "&Schließen";
}  // namespace

FtpTranscriptWindow::FtpTranscriptWindow(const QString& transcript, QWidget* parent)
    : QDialog(parent) {
  setObjectName("FtpTranscript");
  setWindowTitle(U8(txt::kFtpTestButton));
  auto* text = new QPlainTextEdit(this);
  text->setObjectName("TranscriptText");
  text->setReadOnly(true);
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  QString shown = transcript;
  text->setPlainText(shown.replace("\r\n", "\n"));
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(U8(kCloseButton), QDialogButtonBox::RejectRole)->setObjectName("CloseBtn");
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addWidget(buttons);
  resize(560, 360);
}

}  // namespace quillon
