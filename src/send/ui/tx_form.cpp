#include "send/ui/tx_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "common/texts.h"
#include "common/ui/message_boxes.h"
#include "config/settings_store.h"
#include "config/ui/drop_line_edit.h"
#include "config/ui/elided_label.h"
#include "send/send_operation.h"

namespace quillon {
namespace {

QString Utf8(const char* text) { return QString::fromUtf8(text); }
QString Utf8(const std::string& text) { return QString::fromStdString(text); }

// The file dialog's filters of a protocol.
QString FilterOf(int protocol) {
  switch (protocol) {
    case kSendMsComm:
      return "Programme (*.exe);;Alle Dateien (*)";
    case kSendUph:
    case kSendDl:
      return "Programme (*.hex)";
    default:
      return "Datendateien (*.dat);;Textdateien (*.txt);;Alle Dateien (*)";
  }
}

}  // namespace

TTxForm::TTxForm(Receiver& receiver, UiSink& sink, QWidget* parent)
    : QDialog(parent), receiver_(receiver), sink_(sink) {
  setObjectName("TxForm");
  setWindowTitle("Senden");
  Pages = new QStackedWidget(this);
  auto* selection = new QWidget(Pages);
  auto* status = new QWidget(Pages);
  BuildSelectionPage(selection);
  BuildStatusPage(status);
  Pages->addWidget(selection);
  Pages->addWidget(status);

  SendBtn = new QPushButton("&Senden", this);
  SendBtn->setObjectName("SendBtn");
  EndeBtn = new QPushButton("&Beenden", this);
  EndeBtn->setObjectName("EndeBtn");
  connect(SendBtn, &QPushButton::clicked, this, &TTxForm::SendBtnClick);
  connect(EndeBtn, &QPushButton::clicked, this, &TTxForm::EndeBtnClick);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(SendBtn);
  buttons->addWidget(EndeBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Pages);
  layout->addLayout(buttons);

  LoadLastUsed();
  FileNameChange();
}

void TTxForm::BuildSelectionPage(QWidget* page) {
  PortBox = new QComboBox(page);
  PortBox->setObjectName("PortBox");
  const TGlobalApp& global = receiver_.app().GlobalApp;
  for (int port = 1; port <= kPortCount; ++port) {
    if (global.PortPresent[port]) PortBox->addItem(QString("com%1:").arg(port));
  }
  ProtocolBox = new QComboBox(page);
  ProtocolBox->setObjectName("ProtocolBox");
  for (const SendProtocolItem& item : kSendProtocols) ProtocolBox->addItem(Utf8(item.text));
  FileNameEdit = new DropLineEdit(page);
  FileNameEdit->setObjectName("FileNameEdit");
  FileNameEdit->setMinimumWidth(320);
  SrchBtn = new QPushButton("...", page);
  SrchBtn->setObjectName("SrchBtn");
  connect(SrchBtn, &QPushButton::clicked, this, &TTxForm::SrchBtnClick);
  connect(FileNameEdit, &QLineEdit::textChanged, this, &TTxForm::FileNameChange);
  connect(FileNameEdit, &DropLineEdit::fileDropped, this, &TTxForm::FileDropped);

  auto* grid = new QGridLayout(page);
  grid->addWidget(new QLabel("Schnittstelle:", page), 0, 0);
  grid->addWidget(PortBox, 0, 1);
  grid->addWidget(new QLabel("Protokoll:", page), 1, 0);
  grid->addWidget(ProtocolBox, 1, 1);
  grid->addWidget(new QLabel("Datei:", page), 2, 0);
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(FileNameEdit, 1);
  fileRow->addWidget(SrchBtn);
  grid->addLayout(fileRow, 2, 1);
  grid->setColumnStretch(1, 1);
}

void TTxForm::BuildStatusPage(QWidget* page) {
  SendFileLbl = new ElidedLabel(page);
  SendFileLbl->setObjectName("SendFileLbl");
  BlocksLbl = new QLabel("0", page);
  BlocksLbl->setObjectName("BlocksLbl");
  BytesLbl = new QLabel("0", page);
  BytesLbl->setObjectName("BytesLbl");
  Bar = new QProgressBar(page);
  Bar->setObjectName("Bar");
  Bar->setRange(0, 100);
  auto* grid = new QGridLayout(page);
  grid->addWidget(new QLabel(Utf8(txt::kSendBlocksLabel), page), 0, 0);
  grid->addWidget(BlocksLbl, 0, 1, Qt::AlignRight);
  grid->addWidget(new QLabel(Utf8(txt::kSendBytesLabel), page), 1, 0);
  grid->addWidget(BytesLbl, 1, 1, Qt::AlignRight);
  grid->addWidget(SendFileLbl, 2, 0, 1, 2);
  grid->addWidget(Bar, 3, 0, 1, 2);
  grid->setRowStretch(4, 1);
}

void TTxForm::LoadLastUsed() {
  SettingsStore store(receiver_.app(), sink_);
  const LastSendFile last = store.ReadLastSendFile();
  lastFile_ = Utf8(last.File);
  FileNameEdit->setText(lastFile_);
  PortBox->setCurrentIndex(last.PortIndex >= 0 && last.PortIndex < PortBox->count() ? last.PortIndex
                                                                                    : 0);
  if (last.ProtocolIndex >= 0 && last.ProtocolIndex < ProtocolBox->count())
    ProtocolBox->setCurrentIndex(last.ProtocolIndex);
}

void TTxForm::StoreLastUsed(bool withFile) {
  SettingsStore store(receiver_.app(), sink_);
  if (withFile) lastFile_ = FileNameEdit->text();
  // A settings file that cannot be written costs only the remembered choice.
  (void)store.WriteLastSendFile(
      LastSendFile{lastFile_.toStdString(), PortBox->currentIndex(), ProtocolBox->currentIndex()});
}

void TTxForm::SrchBtnClick() {
  const QString current = FileNameEdit->text();
  QString dir = current.isEmpty() ? QString() : QFileInfo(current).absolutePath();
  if (dir.isEmpty()) dir = Utf8(receiver_.app().AppInfo.ProgramDir);
  const int protocol = SendProtocolCode(ProtocolBox->currentText().toStdString());
  const QString file =
      QFileDialog::getOpenFileName(this, Utf8(txt::kSendFileDialog), dir, FilterOf(protocol));
  if (file.isEmpty()) return;
  FileNameEdit->setText(file);
  StoreLastUsed(true);
}

void TTxForm::FileDropped(const QString& path) { FileNameEdit->setText(path); }

void TTxForm::FileNameChange() {
  const QString name = FileNameEdit->text();
  const QFileInfo info(name);
  SendBtn->setEnabled(!running_ && !name.isEmpty() && info.exists() && info.isFile() &&
                      PortBox->count() > 0);
}

void TTxForm::SendBtnClick() {
  if (running_ || PortBox->count() == 0) return;
  const QString portText = PortBox->currentText();  // "com3:" -> 3
  const int port = portText.mid(3, portText.size() - 4).toInt();
  const int protocol = SendProtocolCode(ProtocolBox->currentText().toStdString());
  if (port < 1 || port > kPortCount || protocol == 0) return;
  const QString file = FileNameEdit->text();
  SendFileLbl->SetFullText(file);
  BlocksLbl->setText("0");
  BytesLbl->setText("0");
  Bar->setValue(0);
  StoreLastUsed(true);
  if (!receiver_.Sender(port).Start(protocol, file.toStdString())) {
    // A send started from the command line still runs on this port.
    QApplication::beep();
    ShowMessageBox(this, MessageKind::Error, txt::kSendOpenFailed);
    return;
  }
  port_ = port;
  running_ = true;
  sending_ = true;
  awaitingResult_ = true;
  SendBtn->setEnabled(false);
  Pages->setCurrentIndex(1);
}

void TTxForm::OnSendProgress(int port, int value) {
  if (!running_ || port != port_) return;
  TTxThread& sender = receiver_.Sender(port);
  if (value == -1) {
    BackToSelection();
    return;
  }
  BlocksLbl->setText(QString::number(sender.Blocks()));
  BytesLbl->setText(QString::number(sender.Bytes()));
  Bar->setValue(sender.Percent());
  sender.ProgressTaken();
  PortState(port, kLedBusy);
}

void TTxForm::OnSendResult(int port, int result) {
  if (!OwnsSend(port)) return;
  awaitingResult_ = false;
  const bool show = sending_;
  sending_ = false;
  if (show && result == kSendResultFailed) {
    QApplication::beep();
    ShowMessageBox(this, MessageKind::Error, receiver_.Sender(port).Message());
  }
}

void TTxForm::PortState(int port, int state) {
  TMyThreads& st = receiver_.status()[port];
  st.LedState = state;
  if (!st.LedPending.exchange(true)) sink_.PostPortLed(port, state);
}

void TTxForm::BackToSelection() {
  running_ = false;
  Pages->setCurrentIndex(0);
  FileNameChange();
}

bool TTxForm::CancelRunningSend() {
  if (!running_) return false;
  sending_ = false;  // no final box
  PortState(port_, kLedError);
  // The transfer ends within one of its waits; the thread gives the port back itself.
  receiver_.Sender(port_).Cancel();
  BackToSelection();
  QApplication::beep();
  ShowMessageBox(this, MessageKind::Error, txt::kSendCancelled);
  return true;
}

void TTxForm::EndeBtnClick() {
  if (CancelRunningSend()) return;
  StoreLastUsed(false);
  accept();
}

void TTxForm::reject() {
  if (CancelRunningSend()) return;
  QDialog::reject();
}

void TTxForm::closeEvent(QCloseEvent* event) {
  if (CancelRunningSend()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace quillon
