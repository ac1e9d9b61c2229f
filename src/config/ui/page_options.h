#pragma once
// Page "Optionen": the port's record end, logbook level and send header, and the program-wide
// options (start of reception, external logbook, log printer), which act at once.
#include "config/ui/setup_page.h"

class QComboBox;
class QLineEdit;
class QSpinBox;

namespace quillon {

class OptionsPage : public SetupPage {
  Q_OBJECT

 public:
  OptionsPage(SetupContext& context, QWidget* parent);
  void ApplyRules() override;

 protected:
  void FillValues() override;

 private:
  void ExtLogDirLeft();

  QComboBox* txHeader_;
  QComboBox* saveFormat_;
  QComboBox* logLevel_;
  QComboBox* programStart_;
  QLineEdit* extLogDir_;
  QSpinBox* extLogDays_;
  QComboBox* logPrinter_;
};

}  // namespace quillon
