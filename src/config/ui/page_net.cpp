#include "config/ui/page_net.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "common/format.h"
#include "common/ini_file.h"
#include "common/ui/message_boxes.h"
#include "config/ui/field_behaviour.h"
#include "config/ui/ftp_transcript_window.h"
#include "config/ui/setup_field_rules.h"
#include "config/ui/setup_texts.h"
#include "network/ftp_test_connection.h"

namespace quillon {
namespace {

constexpr int kTcp = 1;
constexpr int kFtp = 2;
constexpr int kOverwrite = 0;
constexpr int kAppend = 1;
constexpr size_t kFullAddress = 15;  // "255.255.255.255"

}  // namespace

QString MaskedAddress(const std::string& address) {
  QStringList parts = QString::fromStdString(address).split('.');
  for (QString& part : parts) part = part.leftJustified(3, ' ', true);
  return parts.join('.');
}

NetPage::NetPage(SetupContext& context, QWidget* parent) : SetupPage(context, parent) {
  QGroupBox* tcp = NewGroup(txt::kTcpGroup, this);
  tcpStatus_ = NewCombo("TCPIPStatus", {txt::kInactive, txt::kActive});
  tcpAddress_ = new QLineEdit(tcp);
  tcpAddress_->setObjectName("TCPIPAdr");
  tcpAddress_->setInputMask("000.000.000.000; ");
  tcpAddress_->setMinimumWidth(tcpAddress_->fontMetrics().horizontalAdvance("000.000.000.0000"));
  tcpPort_ = new QLineEdit(tcp);
  tcpPort_->setObjectName("TCPIPPort");
  tcpPort_->setInputMask("00000; ");
  tcpPort_->setMaximumWidth(tcpPort_->fontMetrics().horizontalAdvance("0000000000"));
  QFormLayout* tcpForm = NewForm(tcp);
  tcpForm->addRow(U8(txt::kStatusLabel), tcpStatus_);
  tcpForm->addRow(U8(txt::kTcpAddressLabel), tcpAddress_);
  tcpForm->addRow(U8(txt::kTcpPortLabel), tcpPort_);

  QGroupBox* ftp = NewGroup(txt::kFtpGroup, this);
  ftpStatus_ = NewCombo("FTPStatus", {txt::kInactive, txt::kActive});
  ftpHost_ = NewTextField("FTPHost", &TQuillonOpt::FtpHost);
  ftpUser_ = NewTextField("FTPUserID", &TQuillonOpt::FtpUser);
  ftpPassword_ = NewTextField("FTPPw", &TQuillonOpt::FtpPassword);
  ftpPassword_->setEchoMode(QLineEdit::Password);
  ftpMode_ = NewCombo("FTPModus", txt::kFtpModeItems);
  ftpTimeout_ = NewSpin("FTPTO", 1000, 60000, 1000);
  ftpDir_ = new QLineEdit(this);
  ftpDir_->setObjectName("FTPRootEdit");
  ftpTest_ = new QPushButton(U8(txt::kFtpTestButton), ftp);
  ftpTest_->setObjectName("TestFTPBtn");
  ftpTest_->setAutoDefault(false);
  QFormLayout* ftpForm = NewForm(ftp);
  ftpForm->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  ftpForm->addRow(U8(txt::kStatusLabel), ftpStatus_);
  ftpForm->addRow(U8(txt::kFtpHostLabel), ftpHost_);
  ftpForm->addRow(U8(txt::kFtpUserLabel), ftpUser_);
  ftpForm->addRow(U8(txt::kFtpPasswordLabel), ftpPassword_);
  ftpForm->addRow(U8(txt::kFtpModeLabel), ftpMode_);
  ftpForm->addRow(U8(txt::kFtpTimeoutLabel), ftpTimeout_);
  ftpForm->addRow(U8(txt::kFtpDirLabel), ftpDir_);
  ftpForm->addRow(QString(), ftpTest_);

  auto* left = new QVBoxLayout;
  left->addWidget(tcp);
  left->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 2);
  layout->addWidget(ftp, 3);

  for (QWidget* w :
       std::initializer_list<QWidget*>{tcpStatus_, tcpAddress_, tcpPort_, ftpStatus_, ftpHost_,
                                       ftpUser_, ftpPassword_, ftpTimeout_, ftpDir_}) {
    MoveFocusOnEnter(w);
  }

  OnChosen(tcpStatus_, [this](int i) { StatusChosen(kTcp, i == 1); });
  OnChosen(ftpStatus_, [this](int i) { StatusChosen(kFtp, i == 1); });
  connect(tcpAddress_, &QLineEdit::textEdited, this, &NetPage::AddressEdited);
  OnLeave(tcpPort_, [this] { CheckPort(); });
  connect(tcpPort_, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (const auto port = ParseInt(Trimmed(text.toStdString()))) {
      Opt().TcpPort = *port;
      Edited();
    }
  });
  OnChosen(ftpMode_, [this](int i) {
    static const std::string kModes[] = {"A", "I"};  // ASCII, binary ("image")
    Opt().FtpMode = kModes[i == 0 ? 0 : 1];
    Edited();
  });
  OnValue(ftpTimeout_, [this](int v) {
    Opt().FtpTimeout = v;
    Edited();
  });
  connect(ftpDir_, &QLineEdit::textEdited, this, [this](const QString& text) {
    Opt().FtpDir = text.toStdString();
    Edited();
  });
  connect(ftpTest_, &QPushButton::clicked, this, [this] {
    if (ftpTestAction_ && !ftpTestRunning_) ftpTestAction_(this, Opt());
  });
  ftpTestAction_ = [this](QWidget*, const TQuillonOpt& settings) { StartFtpTest(settings); };
}

NetPage::~NetPage() {
  ftpTestStop_ = true;
  if (ftpTestThread_.joinable()) ftpTestThread_.join();
  if (ftpTestRunning_) QApplication::restoreOverrideCursor();
}

void NetPage::StartFtpTest(const TQuillonOpt& settings) {
  if (ftpTestThread_.joinable()) ftpTestThread_.join();
  ftpTestRunning_ = true;
  ftpTestStop_ = false;
  ApplyRules();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const net::FtpAccount account{settings.FtpHost, settings.FtpUser, settings.FtpPassword,
                                settings.FtpTimeout};
  ftpTestThread_ =
      std::thread([this, account, directory = settings.FtpDir, ascii = settings.FtpMode == "A"] {
        const std::string transcript =
            net::RunFtpTestConnection(account, directory, ascii, ftpTestStop_);
        // Delivered through the page's event queue; dropped if the page is gone by then (its
        // destructor waits for this thread, so the page exists while this call runs).
        QMetaObject::invokeMethod(
            this, [this, text = QString::fromStdString(transcript)] { FtpTestDone(text); },
            Qt::QueuedConnection);
      });
}

void NetPage::FtpTestDone(const QString& transcript) {
  if (ftpTestThread_.joinable()) ftpTestThread_.join();
  ftpTestRunning_ = false;
  QApplication::restoreOverrideCursor();
  ApplyRules();
  auto* window = new FtpTranscriptWindow(transcript, this);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->open();
}

QLineEdit* NetPage::NewTextField(const char* name, std::string TQuillonOpt::*field) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(name);
  edit->setMinimumWidth(180);
  connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
    Opt().*field = Trimmed(text.toStdString());
    Edited();
  });
  return edit;
}

void NetPage::SetFtpTestAction(FtpTestAction action) {
  ftpTestAction_ = std::move(action);
  ApplyRules();
}

void NetPage::FillValues() {
  const TQuillonOpt& opt = Opt();
  Select(tcpStatus_, opt.NetActive && opt.NetKind == kTcp ? 1 : 0);
  tcpAddress_->setText(MaskedAddress(opt.TcpAddress));
  tcpPort_->setText(QString::number(opt.TcpPort));
  Select(ftpStatus_, opt.NetActive && opt.NetKind == kFtp ? 1 : 0);
  ftpHost_->setText(QString::fromStdString(opt.FtpHost));
  ftpUser_->setText(QString::fromStdString(opt.FtpUser));
  ftpPassword_->setText(QString::fromStdString(opt.FtpPassword));
  Select(ftpMode_, opt.FtpMode == "A" ? 0 : 1);
  ShowNumber(ftpTimeout_, opt.FtpTimeout);
  ftpDir_->setText(QString::fromStdString(opt.FtpDir));
}

void NetPage::ApplyRules() {
  const TQuillonOpt& opt = Opt();
  const bool tcp = opt.NetActive && opt.NetKind == kTcp;
  const bool ftp = opt.NetActive && opt.NetKind == kFtp;
  tcpAddress_->setEnabled(tcp);
  tcpPort_->setEnabled(tcp);
  for (QWidget* w :
       std::initializer_list<QWidget*>{ftpHost_, ftpUser_, ftpPassword_, ftpMode_, ftpTimeout_}) {
    w->setEnabled(ftp);
  }
  ftpTest_->setEnabled(ftp && static_cast<bool>(ftpTestAction_) && !ftpTestRunning_);
}

void NetPage::StatusChosen(int kind, bool on) {
  TQuillonOpt& opt = Opt();
  const bool wasOn = opt.NetActive && opt.NetKind == kind;
  if (on) {
    Select(kind == kTcp ? ftpStatus_ : tcpStatus_, 0);
    opt.NetActive = true;
    opt.NetKind = kind;
  } else if (wasOn) {
    opt.NetActive = false;
    opt.NetKind = 0;
  }
  Edited();
  ApplyRules();
  emit rulesChanged();
  if (!on) return;
  FocusNextControl(kind == kTcp ? tcpStatus_ : ftpStatus_);
  if (opt.FileMode == kOverwrite) {
    ShowMessageBox(this, MessageKind::Warning, txt::kOverwriteWithForwarding);
  } else if (opt.FileMode == kAppend) {
    ShowMessageBox(this, MessageKind::Warning, txt::kAppendWithForwarding);
  }
}

void NetPage::AddressEdited() {
  const std::string address = WithoutBlanks(tcpAddress_->text().toStdString());
  Opt().TcpAddress = address;
  Edited();
  if (address.size() >= kFullAddress) FocusNextControl(tcpAddress_);
}

void NetPage::CheckPort() {
  const std::string text = Trimmed(tcpPort_->text().toStdString());
  if (!ParseInt(text)) {
    ShowMessageBox(this, MessageKind::Error, Format(txt::kNotAnInteger, text));
  }
}

}  // namespace quillon
