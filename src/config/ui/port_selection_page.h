#pragma once
// The face of the setup dialog without tabs: which ports take part in reception, the way to
// each port's settings, the new setup password and the end of the dialog.
#include <QWidget>
#include <array>

#include "config/settings_types.h"

class QCheckBox;
class QPushButton;

namespace quillon {

class PortSelectionPage : public QWidget {
  Q_OBJECT

 public:
  explicit PortSelectionPage(QWidget* parent);

  // Enables each check box by the presence of its port and ticks it by its "Aktiviert" flag;
  // a port button is enabled exactly when its box is ticked. Index 1..8.
  void Show(const std::array<bool, kPortCount + 1>& present,
            const std::array<bool, kPortCount + 1>& active);
  // Sets a box back without reporting it (its change could not be stored).
  void SetTicked(int port, bool ticked);
  QPushButton* okButton() const { return ok_; }

 signals:
  void portTicked(int port, bool ticked);
  void portSettingsRequested(int port);
  void newPasswordRequested();
  void closeRequested();

 private:
  std::array<QCheckBox*, kPortCount + 1> boxes_{};
  std::array<QPushButton*, kPortCount + 1> buttons_{};
  QPushButton* password_;
  QPushButton* ok_;
};

}  // namespace quillon
