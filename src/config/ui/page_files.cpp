#include "config/ui/page_files.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <climits>

#include "common/paths.h"
#include "common/ui/message_boxes.h"
#include "config/ui/drop_line_edit.h"
#include "config/ui/elided_label.h"
#include "config/ui/setup_field_rules.h"
#include "config/ui/setup_texts.h"

namespace quillon {
namespace {

constexpr int kOverwrite = 0;
constexpr int kAppend = 1;
constexpr int kSequential = 2;

}  // namespace

FilesPage::FilesPage(SetupContext& context, QWidget* parent) : SetupPage(context, parent) {
  fileName_ = new DropLineEdit(this);
  fileName_->setObjectName("Datei");
  fileName_->setMinimumWidth(320);
  fileName_->setContextMenuPolicy(Qt::CustomContextMenu);
  placeholders_ = new QToolButton(this);
  placeholders_->setObjectName("PlatzhalterBtn");
  placeholders_->setText(U8(txt::kPlaceholderButton));
  placeholders_->setToolTip(U8(txt::kPlaceholderButtonTip));
  browse_ = new QToolButton(this);
  browse_->setObjectName("DateiBtn");
  browse_->setText(U8(txt::kBrowseButton));
  browse_->setToolTip(U8(txt::kBrowseButtonTip));

  placeholderMenu_ = new QMenu(this);
  placeholderMenu_->setObjectName("PlatzhalterMenu");
  for (const auto& item : txt::kPlaceholderMenu) {
    const QString placeholder = U8(item[1]);
    QAction* action = placeholderMenu_->addAction(U8(item[0]), this, [this, placeholder] {
      fileName_->insert(placeholder);
      FileNameEdited();
    });
    action->setData(placeholder);
  }
  sequentialItem_ = placeholderMenu_->actions().front();

  auto* nameRow = new QHBoxLayout;
  nameRow->setSpacing(4);
  nameRow->addWidget(fileName_, 1);
  nameRow->addWidget(placeholders_);
  nameRow->addWidget(browse_);

  mode_ = NewCombo("Modus", txt::kFileModeItems);
  digits_ = NewSpin("AnzStellen", 1, 9, 1);
  first_ = NewSpin("ErsteLfdNr", 0, INT_MAX, 1);
  first_->setMinimumWidth(120);
  digitsLabel_ = new QLabel(U8(txt::kSeqDigitsLabel), this);
  firstLabel_ = new QLabel(U8(txt::kFirstSeqNoLabel), this);

  QFormLayout* form = NewForm(nullptr);
  form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  form->addRow(U8(txt::kFileNameLabel), nameRow);
  form->addRow(U8(txt::kFileModeLabel), mode_);
  form->addRow(digitsLabel_, digits_);
  form->addRow(firstLabel_, first_);

  QGroupBox* complete = NewGroup(txt::kCompleteNameGroup, this);
  preview_ = new ElidedLabel(complete);
  preview_->setObjectName("KplDatei");
  auto* completeLayout = new QVBoxLayout(complete);
  completeLayout->addWidget(preview_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addSpacing(6);
  layout->addWidget(complete);
  layout->addStretch();

  connect(fileName_, &QLineEdit::textEdited, this, &FilesPage::FileNameEdited);
  connect(fileName_, &DropLineEdit::fileDropped, this, [this](const QString& path) {
    fileName_->setText(path);
    FileNameEdited();
  });
  connect(fileName_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { ShowPlaceholderMenu(fileName_->mapToGlobal(pos)); });
  connect(placeholders_, &QToolButton::clicked, this, [this] {
    ShowPlaceholderMenu(placeholders_->mapToGlobal(QPoint(0, placeholders_->height())));
  });
  connect(browse_, &QToolButton::clicked, this, &FilesPage::Browse);
  OnChosen(mode_, [this](int i) { ModeChosen(i); });
  OnValue(digits_, [this](int v) {
    Opt().SeqDigits = v;
    Edited();
    UpdatePreview();
  });
  OnValue(first_, [this](int v) {
    Opt().FirstSeqNo = v;
    Edited();
    UpdatePreview();
  });
}

void FilesPage::FillValues() {
  TQuillonOpt& opt = Opt();
  if (opt.FirstSeqNo < 0) opt.FirstSeqNo = 0;
  fileName_->setText(QString::fromStdString(opt.FileName));
  Select(mode_, opt.FileMode);
  ShowNumber(digits_, opt.SeqDigits);
  ShowNumber(first_, opt.FirstSeqNo);
  UpdatePreview();
}

void FilesPage::ApplyRules() {
  const bool sequential = Opt().FileMode == kSequential;
  digitsLabel_->setVisible(sequential);
  digits_->setVisible(sequential);
  firstLabel_->setVisible(sequential);
  first_->setVisible(sequential);
  sequentialItem_->setVisible(sequential);
}

void FilesPage::FileNameEdited() {
  Opt().FileName = fileName_->text().toStdString();
  Edited();
  UpdatePreview();
}

void FilesPage::ModeChosen(int mode) {
  TQuillonOpt& opt = Opt();
  opt.FileMode = mode;
  Edited();
  ApplyRules();
  UpdatePreview();
  emit rulesChanged();
  // Forwarded files must not be overwritten or appended to before they have gone out.
  if (opt.NetActive && mode == kOverwrite) {
    ShowMessageBox(this, MessageKind::Warning, txt::kOverwriteWithForwarding);
  } else if (opt.NetActive && mode == kAppend) {
    ShowMessageBox(this, MessageKind::Warning, txt::kAppendWithForwarding);
  }
}

void FilesPage::UpdatePreview() {
  preview_->SetFullText(QString::fromStdString(PreviewFileName(Opt())));
}

void FilesPage::ShowPlaceholderMenu(const QPoint& where) {
  ApplyRules();
  placeholderMenu_->popup(where);
}

void FilesPage::Browse() {
  const std::string current = fileName_->text().toStdString();
  const std::string initial = current.empty()
                                  ? Context().app.AppInfo.ProgramDir + txt::kDefaultDataFile
                                  : PreviewFileName(Opt());
  const QString chosen = QFileDialog::getSaveFileName(
      this, U8(txt::kFileNameDialogTitle), QString::fromStdString(initial),
      U8(txt::kFileNameDialogFilter), nullptr, QFileDialog::DontConfirmOverwrite);
  if (chosen.isEmpty()) return;
  fileName_->setText(chosen);
  FileNameEdited();
}

}  // namespace quillon
