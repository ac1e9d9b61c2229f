#include "config/ui/page_acknak.h"

#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>

#include "config/ui/setup_texts.h"

namespace quillon {

AckNakPage::AckNakPage(SetupContext& context, QWidget* parent) : SetupPage(context, parent) {
  receive_ = NewSpin("AckNakRxTO", 1000, 60000, 500);
  send_ = NewSpin("AckNakTxTo", 1000, 60000, 500);
  QFormLayout* form = NewForm(nullptr);
  form->addRow(U8(txt::kAckNakRxLabel), receive_);
  form->addRow(U8(txt::kAckNakTxLabel), send_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addStretch();

  OnValue(receive_, [this](int v) {
    Opt().AckNakRxTimeout = v;
    Edited();
  });
  OnValue(send_, [this](int v) {
    Opt().AckNakTxTimeout = v;
    Edited();
  });
}

void AckNakPage::FillValues() {
  ShowNumber(receive_, Opt().AckNakRxTimeout);
  ShowNumber(send_, Opt().AckNakTxTimeout);
}

void AckNakPage::ApplyRules() {
  const bool blocks = Opt().Protocol == 0;
  receive_->setEnabled(blocks);
  send_->setEnabled(blocks);
}

}  // namespace quillon
