#pragma once
// Page "Verarbeitung": the program started after each reception.
#include "config/ui/setup_page.h"

class QComboBox;
class QToolButton;

namespace quillon {

class DropLineEdit;

class ProcessingPage : public SetupPage {
  Q_OBJECT

 public:
  ProcessingPage(SetupContext& context, QWidget* parent);
  void ApplyRules() override;

 protected:
  void FillValues() override;

 private:
  void CallEdited();
  void Browse();

  QComboBox* mode_;
  DropLineEdit* call_;
  QToolButton* browse_;
};

}  // namespace quillon
