#include "config/ui/page_modem.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "common/paths.h"
#include "common/ui/message_boxes.h"
#include "config/ui/drop_line_edit.h"
#include "config/ui/field_behaviour.h"
#include "config/ui/setup_texts.h"

namespace quillon {
namespace {

constexpr int kRadioNetwork = 1;

std::vector<std::string> LinesOf(const QString& text) {
  std::vector<std::string> lines;
  if (text.isEmpty()) return lines;
  for (const QString& line : text.split('\n')) lines.push_back(line.toStdString());
  // The memo's last line break ends a line; it does not start an empty one.
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

}  // namespace

ModemPage::ModemPage(SetupContext& context, QWidget* parent) : SetupPage(context, parent) {
  QGroupBox* modem = NewGroup(txt::kModemGroup, this);
  on_ = new QRadioButton(U8(txt::kModemOn), modem);
  on_->setObjectName("ModemAktiv");
  off_ = new QRadioButton(U8(txt::kModemOff), modem);
  off_->setObjectName("ModemNichtAktiv");
  auto* onOff = new QButtonGroup(this);
  onOff->addButton(on_);
  onOff->addButton(off_);
  auto* modemLayout = new QVBoxLayout(modem);
  modemLayout->addWidget(on_);
  modemLayout->addWidget(off_);
  modemLayout->addStretch();

  usePasswords_ = new QCheckBox(U8(txt::kModemPasswordsCheck), this);
  usePasswords_->setObjectName("ModemPWCheckBox");
  passwords_ = new QPlainTextEdit(this);
  passwords_->setObjectName("ModemPWList");
  passwords_->setTabChangesFocus(true);
  passwords_->setLineWrapMode(QPlainTextEdit::NoWrap);
  passwords_->setMinimumWidth(150);
  usePasswordFile_ = new QCheckBox(U8(txt::kModemPasswordFileCheck), this);
  usePasswordFile_->setObjectName("ModemPWFileCheckBox");
  passwordFile_ = new DropLineEdit(this);
  passwordFile_->setObjectName("ModemPWFile");
  browse_ = new QToolButton(this);
  browse_->setObjectName("ModemPWFileBtn");
  browse_->setText(U8(txt::kBrowseButton));
  browse_->setToolTip(U8(txt::kBrowseButtonTip));
  auto* fileRow = new QHBoxLayout;
  fileRow->setSpacing(4);
  fileRow->addWidget(passwordFile_, 1);
  fileRow->addWidget(browse_);
  auto* passwordsLayout = new QVBoxLayout;
  passwordsLayout->addWidget(usePasswords_);
  passwordsLayout->addWidget(passwords_, 1);
  passwordsLayout->addWidget(usePasswordFile_);
  passwordsLayout->addLayout(fileRow);

  QGroupBox* strings = NewGroup(txt::kModemStringsGroup, this);
  QFormLayout* stringsForm = NewForm(strings);
  stringsForm->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  stringsForm->addRow(U8(txt::kModemInitLabel),
                      NewStringField("ModemInitStr", &TQuillonOpt::ModemInit, true));
  stringsForm->addRow(U8(txt::kModemRingLabel),
                      NewStringField("ModemKlingeln", &TQuillonOpt::ModemRing, true));
  stringsForm->addRow(U8(txt::kModemConnectLabel),
                      NewStringField("ModemVerbindung", &TQuillonOpt::ModemConnect, true));
  stringsForm->addRow(U8(txt::kModemAnswerLabel),
                      NewStringField("ModemAnnehmen", &TQuillonOpt::ModemAnswer, false));
  stringsForm->addRow(U8(txt::kModemHangupLabel),
                      NewStringField("ModemAuflegen", &TQuillonOpt::ModemHangup, true));
  stringsForm->addRow(U8(txt::kModemOkLabel),
                      NewStringField("ModemOKMeldung", &TQuillonOpt::ModemOk, true));
  pollTime_ = NewSpin("ModemStatusPolling", 1, 360, 1);
  stringsForm->addRow(U8(txt::kModemPollTimeLabel), pollTime_);

  auto* left = new QVBoxLayout;
  left->addWidget(modem);
  left->addLayout(passwordsLayout, 1);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 2);
  layout->addWidget(strings, 3);

  auto choose = [this](bool enabled) {
    Opt().ModemEnabled = enabled;
    Edited();
    ApplyRules();
    emit rulesChanged();
  };
  connect(on_, &QRadioButton::clicked, this, [choose] { choose(true); });
  connect(off_, &QRadioButton::clicked, this, [choose] { choose(false); });
  connect(usePasswords_, &QCheckBox::clicked, this, [this](bool on) {
    Opt().UseModemPasswords = on;
    Edited();
  });
  connect(passwords_, &QPlainTextEdit::textChanged, this, [this] {
    if (Filling()) return;
    Opt().ModemPasswords = LinesOf(passwords_->toPlainText());
    Edited();
  });
  connect(usePasswordFile_, &QCheckBox::clicked, this, [this](bool on) {
    Opt().UseModemPasswordFile = on;
    Edited();
  });
  connect(passwordFile_, &QLineEdit::textEdited, this, &ModemPage::PasswordFileEdited);
  connect(passwordFile_, &DropLineEdit::fileDropped, this, [this](const QString& path) {
    passwordFile_->setText(path);
    PasswordFileEdited();
  });
  connect(browse_, &QToolButton::clicked, this, &ModemPage::BrowsePasswordFile);
  OnValue(pollTime_, [this](int v) {
    Opt().ModemPollTime = v;
    Edited();
  });
}

QLineEdit* ModemPage::NewStringField(const char* name, std::string TQuillonOpt::*field,
                                     bool required) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(name);
  edit->setMinimumWidth(200);
  connect(edit, &QLineEdit::textEdited, this, [this, edit, field](const QString& text) {
    Opt().*field = text.toStdString();
    Edited();
  });
  if (required) {
    QPointer<QLineEdit> guarded = edit;
    OnLeave(edit, [this, guarded] {
      if (!guarded || !guarded->isEnabled() || !guarded->text().isEmpty()) return;
      ShowMessageBox(this, MessageKind::Information, txt::kInputRequired);
      if (guarded) guarded->setFocus(Qt::OtherFocusReason);
    });
  }
  strings_.push_back({edit, field});
  return edit;
}

void ModemPage::FillValues() {
  const TQuillonOpt& opt = Opt();
  const bool enabled = opt.ModemEnabled && opt.Protocol != kRadioNetwork;
  on_->setChecked(enabled);
  off_->setChecked(!enabled);
  usePasswords_->setChecked(opt.UseModemPasswords);
  QStringList lines;
  for (const std::string& p : opt.ModemPasswords) lines << QString::fromStdString(p);
  passwords_->setPlainText(lines.join('\n'));
  usePasswordFile_->setChecked(opt.UseModemPasswordFile);
  passwordFile_->setText(QString::fromStdString(opt.ModemPasswordFile));
  for (const StringField& s : strings_) s.edit->setText(QString::fromStdString(opt.*s.field));
  ShowNumber(pollTime_, opt.ModemPollTime);
}

void ModemPage::ApplyRules() {
  const TQuillonOpt& opt = Opt();
  const bool choosable = opt.Protocol != kRadioNetwork;
  on_->setEnabled(choosable);
  off_->setEnabled(choosable);
  const bool enabled = opt.ModemEnabled && choosable;
  for (QWidget* w : std::initializer_list<QWidget*>{usePasswords_, passwords_, usePasswordFile_,
                                                    passwordFile_, browse_, pollTime_}) {
    w->setEnabled(enabled);
  }
  for (const StringField& s : strings_) s.edit->setEnabled(enabled);
}

void ModemPage::PasswordFileEdited() {
  Opt().ModemPasswordFile = passwordFile_->text().toStdString();
  Edited();
}

void ModemPage::BrowsePasswordFile() {
  const std::string current = passwordFile_->text().toStdString();
  const std::string start =
      current.empty() ? Context().app.AppInfo.ProgramDir : DirectoryPart(current);
  const QString chosen = QFileDialog::getOpenFileName(this, U8(txt::kModemPasswordDialogTitle),
                                                      QString::fromStdString(start),
                                                      U8(txt::kModemPasswordDialogFilter));
  if (chosen.isEmpty()) return;
  passwordFile_->setText(chosen);
  PasswordFileEdited();
  if (!chosen.isEmpty()) {
    usePasswordFile_->setChecked(true);
    Opt().UseModemPasswordFile = true;
  }
}

}  // namespace quillon
