#pragma once
// "COM Settings": the port (COM1..COM8) and the highest rate of the HEX transfer.
#include <QDialog>

class QComboBox;

namespace sollex {

class ComSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  ComSettingsDialog(int portIndex, int rateIndex, QWidget* parent = nullptr);
  int portIndex() const;
  int rateIndex() const;

 private:
  QComboBox* port_;
  QComboBox* rate_;
};

}  // namespace sollex
