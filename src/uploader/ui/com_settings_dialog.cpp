#include "com_settings_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

namespace sollex {

ComSettingsDialog::ComSettingsDialog(int portIndex, int rateIndex, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle("COM Settings");
  port_ = new QComboBox(this);
  port_->setObjectName("comNumber");
  for (int i = 1; i <= 8; ++i) port_->addItem(QString("COM%1").arg(i));
  port_->setCurrentIndex(portIndex);
  rate_ = new QComboBox(this);
  rate_->setObjectName("maxBaudRate");
  rate_->addItems({"19200", "38400", "57600"});
  rate_->setCurrentIndex(rateIndex);
  auto* form = new QFormLayout;
  form->addRow("COM Number", port_);
  form->addRow("MAX Baud Rate", rate_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

int ComSettingsDialog::portIndex() const { return port_->currentIndex(); }
int ComSettingsDialog::rateIndex() const { return rate_->currentIndex(); }

}  // namespace sollex
