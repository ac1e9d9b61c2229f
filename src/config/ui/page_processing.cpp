#include "config/ui/page_processing.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include "config/ui/drop_line_edit.h"
#include "config/ui/field_behaviour.h"
#include "config/ui/setup_field_rules.h"
#include "config/ui/setup_texts.h"

namespace quillon {

ProcessingPage::ProcessingPage(SetupContext& context, QWidget* parent)
    : SetupPage(context, parent) {
  mode_ = NewCombo("ExtExeStatus", txt::kCallModeItems);
  call_ = new DropLineEdit(this);
  call_->setObjectName("ExtExeAufruf");
  call_->setMinimumWidth(340);
  browse_ = new QToolButton(this);
  browse_->setObjectName("ExtExeBtn");
  browse_->setText(U8(txt::kBrowseButton));
  browse_->setToolTip(U8(txt::kBrowseButtonTip));
  auto* callRow = new QHBoxLayout;
  callRow->setSpacing(4);
  callRow->addWidget(call_, 1);
  callRow->addWidget(browse_);

  QFormLayout* form = NewForm(nullptr);
  form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  form->addRow(U8(txt::kCallModeLabel), mode_);
  form->addRow(U8(txt::kProgramCallLabel), callRow);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addStretch();

  OnChosen(mode_, [this](int i) {
    Opt().CallMode = i;
    Edited();
    ApplyRules();
    if (i != 0) FocusNextControl(mode_);
  });
  connect(call_, &QLineEdit::textEdited, this, &ProcessingPage::CallEdited);
  connect(call_, &DropLineEdit::fileDropped, this, [this](const QString& path) {
    call_->setText(QString::fromStdString(ProgramCallForDroppedFile(path.toStdString())));
    CallEdited();
  });
  connect(browse_, &QToolButton::clicked, this, &ProcessingPage::Browse);
}

void ProcessingPage::FillValues() {
  Select(mode_, Opt().CallMode);
  call_->setText(QString::fromStdString(Opt().ProgramCall));
}

void ProcessingPage::ApplyRules() {
  const bool starts = Opt().CallMode != 0;
  call_->setEnabled(starts);
  browse_->setEnabled(starts);
}

void ProcessingPage::CallEdited() {
  Opt().ProgramCall = call_->text().toStdString();
  Edited();
}

void ProcessingPage::Browse() {
  QFileDialog dialog(this, U8(txt::kProgramDialogTitle));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilters(U8(txt::kProgramDialogFilter).split(QStringLiteral(";;")));
  // Programs here carry no extension: the dialog starts with every file in view.
  dialog.selectNameFilter(U8(txt::kAllFilesFilter));
  const QString program = QString::fromStdString(ProgramOfCall(call_->text().toStdString()));
  if (!program.isEmpty()) dialog.selectFile(program);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  call_->setText(QString::fromStdString(
      ProgramCallForChosenFile(dialog.selectedFiles().front().toStdString())));
  call_->setCursorPosition(call_->text().size());
  CallEdited();
}

}  // namespace quillon
