#pragma once
// The read-only window that shows the transcript of the FTP test connection.
#include <QDialog>

class QPlainTextEdit;

namespace quillon {

class FtpTranscriptWindow : public QDialog {
  Q_OBJECT

 public:
  // `transcript`: lines joined with CR LF.
  FtpTranscriptWindow(const QString& transcript, QWidget* parent);
};

}  // namespace quillon
