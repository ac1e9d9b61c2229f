#pragma once
// TTxForm: the send dialog. The user picks a port, a protocol and a file (typed, searched or
// dropped) and sends it; a status page shows the blocks and bytes sent and a bar. Closing the
// dialog (ESC, "&Beenden", the close box) while a send runs cancels the send instead.
//
// Main thread only. The send thread reaches it through the main window, which hands on the
// progress and result messages of the port being sent on.
#include <QDialog>

#include "common/ui_sink.h"
#include "shell/receiver.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace quillon {

class DropLineEdit;
class ElidedLabel;

class TTxForm : public QDialog {
  Q_OBJECT

 public:
  TTxForm(Receiver& receiver, UiSink& sink, QWidget* parent = nullptr);

  // The send thread's messages: progress (-1: the send is over) and final result.
  void OnSendProgress(int port, int value);
  void OnSendResult(int port, int result);
  // The dialog started the send on `port` and waits for its result (also after a cancel).
  bool OwnsSend(int port) const { return awaitingResult_ && port == port_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;  // ESC and the close box come here

 private slots:
  void SrchBtnClick();
  void FileNameChange();
  void SendBtnClick();
  void EndeBtnClick();
  void FileDropped(const QString& path);

 private:
  void BuildSelectionPage(QWidget* page);
  void BuildStatusPage(QWidget* page);
  void LoadLastUsed();
  void StoreLastUsed(bool withFile);
  // A running send is cancelled; true when there was one.
  bool CancelRunningSend();
  void BackToSelection();
  void PortState(int port, int state);

  Receiver& receiver_;
  UiSink& sink_;
  bool running_ = false;  // a send thread of this dialog runs
  bool sending_ = false;  // its final result is to be shown
  bool awaitingResult_ = false;
  int port_ = 0;
  QString lastFile_;

  QStackedWidget* Pages = nullptr;
  QComboBox* PortBox = nullptr;
  QComboBox* ProtocolBox = nullptr;
  DropLineEdit* FileNameEdit = nullptr;
  QPushButton* SrchBtn = nullptr;
  QPushButton* SendBtn = nullptr;
  QPushButton* EndeBtn = nullptr;
  ElidedLabel* SendFileLbl = nullptr;
  QLabel* BlocksLbl = nullptr;
  QLabel* BytesLbl = nullptr;
  QProgressBar* Bar = nullptr;
};

}  // namespace quillon
