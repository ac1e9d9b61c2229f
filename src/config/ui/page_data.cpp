#include "config/ui/page_data.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "config/ui/setup_texts.h"

namespace quillon {
namespace {

constexpr int kBlockProtocol = 0;
constexpr int kRadioNetwork = 1;

}  // namespace

DataPage::DataPage(SetupContext& context, QWidget* parent) : SetupPage(context, parent) {
  protocol_ = NewCombo("Protokoll", txt::kProtocolItems);
  radioNetwork_ = new QPushButton(U8(txt::kRadioNetworkButton), this);
  radioNetwork_->setObjectName("FunkNetzConfigBtn");
  radioNetwork_->setAutoDefault(false);
  auto* protocolRow = new QHBoxLayout;
  protocolRow->addWidget(new QLabel(U8(txt::kProtocolLabel), this));
  protocolRow->addWidget(protocol_);
  protocolRow->addSpacing(12);
  protocolRow->addWidget(radioNetwork_);
  protocolRow->addStretch();

  QGroupBox* store = NewGroup(txt::kStoreGroup, this);
  header_ = NewCombo("Header", {txt::kWith, txt::kWithout});
  typeChar_ = NewCombo("Typzeichen", {txt::kWith, txt::kWithout});
  QFormLayout* storeForm = NewForm(store);
  storeForm->addRow(U8(txt::kHeaderLabel), header_);
  storeForm->addRow(U8(txt::kTypeCharLabel), typeChar_);

  QGroupBox* clock = NewGroup(txt::kClockGroup, this);
  clockSync_ = NewCombo("SyncUhr", {txt::kInactive, txt::kActive});
  clockTimeout_ = NewSpin("Timeout", 500, 60000, 500);
  QFormLayout* clockForm = NewForm(clock);
  clockForm->addRow(U8(txt::kClockSyncLabel), clockSync_);
  clockForm->addRow(U8(txt::kClockTimeoutLabel), clockTimeout_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(protocolRow);
  layout->addWidget(store);
  layout->addWidget(clock);
  layout->addStretch();

  OnChosen(protocol_, [this](int i) {
    Opt().Protocol = i;
    // The radio network brings its own line handling: no modem on such a port.
    if (i == kRadioNetwork) Opt().ModemEnabled = false;
    Edited();
    emit protocolChanged();
  });
  OnChosen(header_, [this](int i) {
    Opt().WithHeader = i == 0;
    Edited();
  });
  OnChosen(typeChar_, [this](int i) {
    Opt().WithTypeChar = i == 0;
    Edited();
  });
  OnChosen(clockSync_, [this](int i) {
    Opt().ClockSync = i == 1;
    Edited();
    ApplyRules();
  });
  OnValue(clockTimeout_, [this](int v) {
    Opt().ClockSyncTimeout = v;
    Edited();
  });
  connect(radioNetwork_, &QPushButton::clicked, this, [this] {
    if (radioNetworkAction_) radioNetworkAction_(this, Opt().PortName, Opt().Baudrate);
  });
}

void DataPage::SetRadioNetworkAction(RadioNetworkAction action) {
  radioNetworkAction_ = std::move(action);
  ApplyRules();
}

void DataPage::FillValues() {
  const TQuillonOpt& opt = Opt();
  Select(protocol_, opt.Protocol);
  Select(header_, opt.WithHeader ? 0 : 1);
  Select(typeChar_, opt.WithTypeChar ? 0 : 1);
  Select(clockSync_, opt.ClockSync ? 1 : 0);
  ShowNumber(clockTimeout_, opt.ClockSyncTimeout);
}

void DataPage::ApplyRules() {
  const TQuillonOpt& opt = Opt();
  const bool blocks = opt.Protocol == kBlockProtocol;
  radioNetwork_->setVisible(opt.Protocol == kRadioNetwork);
  radioNetwork_->setEnabled(static_cast<bool>(radioNetworkAction_));
  header_->setEnabled(blocks);
  typeChar_->setEnabled(blocks);
  clockSync_->setEnabled(blocks);
  clockTimeout_->setEnabled(blocks && opt.ClockSync);
}

}  // namespace quillon
