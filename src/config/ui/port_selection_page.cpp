#include "config/ui/port_selection_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "common/format.h"
#include "config/ui/setup_texts.h"

namespace quillon {

PortSelectionPage::PortSelectionPage(QWidget* parent) : QWidget(parent) {
  setObjectName("ComAuswahl");
  auto* group = new QGroupBox(QString::fromUtf8(txt::kSelectionGroup), this);
  auto* grid = new QGridLayout(group);
  grid->setHorizontalSpacing(24);
  grid->setVerticalSpacing(6);
  for (int n = 1; n <= kPortCount; ++n) {
    auto* box = new QCheckBox(QString::fromStdString(Format(txt::kPortCheckBox, n)), group);
    box->setObjectName(QString("Com%1ChkBox").arg(n));
    auto* button = new QPushButton(QString::fromUtf8(txt::kPortSettingsButton), group);
    button->setObjectName(QString("CfgBtn%1").arg(n));
    button->setAutoDefault(false);
    button->setEnabled(false);
    const int row = (n - 1) % 4;
    const int column = (n - 1) / 4 * 2;
    grid->addWidget(box, row, column);
    grid->addWidget(button, row, column + 1);
    boxes_[static_cast<size_t>(n)] = box;
    buttons_[static_cast<size_t>(n)] = button;
    connect(box, &QCheckBox::clicked, this, [this, n](bool ticked) {
      buttons_[static_cast<size_t>(n)]->setEnabled(ticked);
      emit portTicked(n, ticked);
    });
    connect(button, &QPushButton::clicked, this, [this, n] { emit portSettingsRequested(n); });
  }
  grid->setColumnMinimumWidth(2, 0);

  password_ = new QPushButton(QString::fromUtf8(txt::kNewPasswordButton), this);
  password_->setObjectName("PasswortBtn");
  password_->setAutoDefault(false);
  ok_ = new QPushButton(QString::fromUtf8(txt::kSetupOk), this);
  ok_->setObjectName("OKBtn");
  ok_->setAutoDefault(false);
  ok_->setDefault(true);
  connect(password_, &QPushButton::clicked, this, &PortSelectionPage::newPasswordRequested);
  connect(ok_, &QPushButton::clicked, this, &PortSelectionPage::closeRequested);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(password_);
  buttons->addStretch();
  buttons->addWidget(ok_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addStretch();
  layout->addLayout(buttons);
}

void PortSelectionPage::Show(const std::array<bool, kPortCount + 1>& present,
                             const std::array<bool, kPortCount + 1>& active) {
  for (int n = 1; n <= kPortCount; ++n) {
    const auto i = static_cast<size_t>(n);
    const bool ticked = present[i] && active[i];
    boxes_[i]->setEnabled(present[i]);
    boxes_[i]->setChecked(ticked);
    buttons_[i]->setEnabled(ticked);
  }
}

void PortSelectionPage::SetTicked(int port, bool ticked) {
  const auto i = static_cast<size_t>(port);
  const QSignalBlocker block(boxes_[i]);
  boxes_[i]->setChecked(ticked);
  buttons_[i]->setEnabled(ticked);
}

}  // namespace quillon
