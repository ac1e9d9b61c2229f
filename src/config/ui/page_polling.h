#pragma once
// Page "Polling": polling of terminal addresses, the address list and the poll test.
#include "config/ui/setup_page.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace quillon {

class PollTestControl;

class PollingPage : public SetupPage {
  Q_OBJECT

 public:
  PollingPage(SetupContext& context, QWidget* parent);
  void ApplyRules() override;

  // Ends a running poll test (leaving the port, closing the dialog).
  void StopPollTest();

 protected:
  void FillValues() override;

 private:
  void InsertAddress();
  void DeleteAddresses();
  void ShowAddresses();
  void TestToggled(bool on);

  QComboBox* status_;
  QComboBox* addressLength_;
  QSpinBox* interval_;
  QListWidget* list_;
  QSpinBox* newAddress_;
  QPushButton* insert_;
  QPushButton* delete_;
  QPushButton* test_;
  QLabel* testAddress_;
  QLabel* testTimes_;
  PollTestControl* pollTest_;
};

}  // namespace quillon
