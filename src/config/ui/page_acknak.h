#pragma once
// Page "AckNak-Parameter": the time-outs of the block protocol.
#include "config/ui/setup_page.h"

class QSpinBox;

namespace quillon {

class AckNakPage : public SetupPage {
  Q_OBJECT

 public:
  AckNakPage(SetupContext& context, QWidget* parent);
  void ApplyRules() override;

 protected:
  void FillValues() override;

 private:
  QSpinBox* receive_;
  QSpinBox* send_;
};

}  // namespace quillon
