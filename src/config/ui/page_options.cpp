#include "config/ui/page_options.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "config/ui/field_behaviour.h"
#include "config/ui/setup_field_rules.h"
#include "config/ui/setup_texts.h"

namespace quillon {

OptionsPage::OptionsPage(SetupContext& context, QWidget* parent) : SetupPage(context, parent) {
  txHeader_ = NewCombo("TxHeader", txt::kTxHeaderItems);
  saveFormat_ = NewCombo("SaveFormat", txt::kSaveFormatItems);
  logLevel_ = NewCombo("Logbuch", txt::kLogLevelItems);
  QFormLayout* portForm = NewForm(nullptr);
  portForm->addRow(U8(txt::kTxHeaderLabel), txHeader_);
  portForm->addRow(U8(txt::kSaveFormatLabel), saveFormat_);
  portForm->addRow(U8(txt::kLogLevelLabel), logLevel_);

  QGroupBox* program = NewGroup(txt::kProgramStartGroup, this);
  programStart_ = NewCombo("PrgStart", txt::kProgramStartItems);
  extLogDir_ = new QLineEdit(this);
  extLogDir_->setObjectName("ExtLogbuch");
  extLogDir_->setMinimumWidth(300);
  extLogDays_ = NewSpin("ExtLogbuchAnzTage", 0, 999, 1);
  logPrinter_ = NewCombo("Protokolldrucker", txt::kLogPrinterItems);
  logPrinter_->setMinimumWidth(90);
  QFormLayout* programForm = NewForm(program);
  programForm->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  programForm->addRow(U8(txt::kProgramStartLabel), programStart_);
  programForm->addRow(U8(txt::kExtLogDaysLabel), extLogDays_);
  programForm->addRow(U8(txt::kExtLogDirLabel), extLogDir_);
  programForm->addRow(U8(txt::kLogPrinterLabel), logPrinter_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(portForm);
  layout->addSpacing(6);
  layout->addWidget(program);
  layout->addStretch();

  OnChosen(txHeader_, [this](int i) {
    Opt().TxFileHeader = i == 1;
    Edited();
  });
  OnChosen(saveFormat_, [this](int i) {
    Opt().SaveFormat = i;
    Edited();
  });
  OnChosen(logLevel_, [this](int i) {
    Opt().LogLevel = i;
    Edited();
  });
  OnChosen(programStart_, [this](int i) {
    Global().Autostart = i == 1;
    Edited();
  });
  connect(extLogDir_, &QLineEdit::textEdited, this, [this](const QString& text) {
    Global().ExtLogDir = text.toStdString();
    Edited();
  });
  OnLeave(extLogDir_, [this] { ExtLogDirLeft(); });
  OnValue(extLogDays_, [this](int v) {
    Global().ExtLogDays = v;
    Edited();
    ApplyRules();
  });
  OnChosen(logPrinter_, [this](int i) {
    Global().LogPrinter = i;
    Edited();
  });
}

void OptionsPage::FillValues() {
  const TQuillonOpt& opt = Opt();
  const TGlobalApp& global = Global();
  Select(txHeader_, opt.TxFileHeader ? 1 : 0);
  Select(saveFormat_, opt.SaveFormat);
  Select(logLevel_, opt.LogLevel);
  Select(programStart_, global.Autostart ? 1 : 0);
  extLogDir_->setText(QString::fromStdString(global.ExtLogDir));
  ShowNumber(extLogDays_, global.ExtLogDays);
  Select(logPrinter_, global.LogPrinter);
}

void OptionsPage::ApplyRules() { extLogDir_->setEnabled(Global().ExtLogDays != 0); }

void OptionsPage::ExtLogDirLeft() {
  const std::string text = extLogDir_->text().toStdString();
  const std::string dir = ExtLogDirOnLeave(text);
  if (dir == text) return;
  extLogDir_->setText(QString::fromStdString(dir));
  Global().ExtLogDir = dir;
  Edited();
}

}  // namespace quillon
