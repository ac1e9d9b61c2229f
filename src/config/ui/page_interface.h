#pragma once
// Page "Anschluß": the line settings of the port and the presets of the terminal families.
#include "config/ui/setup_page.h"

class QComboBox;

namespace quillon {

class InterfacePage : public SetupPage {
  Q_OBJECT

 public:
  InterfacePage(SetupContext& context, QWidget* parent);

 protected:
  void FillValues() override;

 private:
  void LoadPreset(int index);

  QComboBox* preset_;
  QComboBox* baud_;
  QComboBox* data_;
  QComboBox* parity_;
  QComboBox* stop_;
  QComboBox* charDelay_;
};

}  // namespace quillon
