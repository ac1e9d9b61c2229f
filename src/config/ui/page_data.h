#pragma once
// Page "Daten": the protocol of the port, the storing options of the block protocol and the
// terminal clock synchronisation.
#include <functional>
#include <string>

#include "config/ui/setup_page.h"

class QComboBox;
class QPushButton;
class QSpinBox;

namespace quillon {

class DataPage : public SetupPage {
  Q_OBJECT

 public:
  DataPage(SetupContext& context, QWidget* parent);
  void ApplyRules() override;

  // The radio network setup of a port ("Funknetz konfigurieren"); without one the button
  // stays disabled.
  using RadioNetworkAction =
      std::function<void(QWidget* parent, const std::string& portName, int baudrate)>;
  void SetRadioNetworkAction(RadioNetworkAction action);

 signals:
  // The protocol changed: the pages that depend on it show themselves anew.
  void protocolChanged();

 protected:
  void FillValues() override;

 private:
  QComboBox* protocol_;
  QPushButton* radioNetwork_;
  QComboBox* header_;
  QComboBox* typeChar_;
  QComboBox* clockSync_;
  QSpinBox* clockTimeout_;
  RadioNetworkAction radioNetworkAction_;
};

}  // namespace quillon
