#include "config/ui/page_interface.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "common/format.h"
#include "config/ui/device_presets.h"
#include "config/ui/setup_texts.h"

namespace quillon {
namespace {

constexpr std::array<int, 10> kBaudrates = {300,  600,   1200,  2400,  4800,
                                            9600, 19200, 38400, 57600, 115200};
// The character delays of the items "aus", "kurz", "mittel", "lang".
constexpr std::array<int, 4> kCharDelays = {0, 2, 5, 10};

template <size_t N>
int IndexOf(const std::array<int, N>& values, int value) {
  const auto it = std::find(values.begin(), values.end(), value);
  return it == values.end() ? -1 : static_cast<int>(it - values.begin());
}

}  // namespace

InterfacePage::InterfacePage(SetupContext& context, QWidget* parent) : SetupPage(context, parent) {
  QGroupBox* presets = NewGroup(txt::kPresetGroup, this);
  preset_ = new QComboBox(presets);
  preset_->setObjectName("StdParameter");
  preset_->setPlaceholderText(U8(txt::kPresetChoose));
  for (size_t i = 1; i <= kDevicePresets.size(); ++i) {
    preset_->addItem(U8(Format(txt::kPresetItem, static_cast<int>(i)).c_str()));
  }
  auto* presetLayout = new QVBoxLayout(presets);
  presetLayout->addWidget(preset_, 0, Qt::AlignLeft);

  QGroupBox* line = NewGroup(txt::kLineGroup, this);
  baud_ = NewCombo(
      "Baud", {"300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"});
  data_ = NewCombo("Data", {"7", "8"});
  parity_ = NewCombo("Parity", txt::kParityItems);
  stop_ = NewCombo("Stop", {"1", "2"});
  charDelay_ = NewCombo("CharDelayTxt", txt::kCharDelayItems);
  QFormLayout* form = NewForm(line);
  form->addRow(U8(txt::kBaudLabel), baud_);
  form->addRow(U8(txt::kDataBitsLabel), data_);
  form->addRow(U8(txt::kParityLabel), parity_);
  form->addRow(U8(txt::kStopBitsLabel), stop_);
  form->addRow(U8(txt::kCharDelayLabel), charDelay_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(presets);
  layout->addWidget(line);
  layout->addStretch();

  connect(preset_, &QComboBox::activated, this, &InterfacePage::LoadPreset);
  OnChosen(baud_, [this](int i) {
    Opt().Baudrate = kBaudrates[static_cast<size_t>(i)];
    Edited();
  });
  OnChosen(data_, [this](int i) {
    Opt().DataBits = 7 + i;
    Edited();
  });
  OnChosen(parity_, [this](int i) {
    Opt().Parity = i;
    Edited();
  });
  OnChosen(stop_, [this](int i) {
    Opt().StopBits = 1 + i;
    Edited();
  });
  OnChosen(charDelay_, [this](int i) {
    Opt().CharDelay = kCharDelays[static_cast<size_t>(i)];
    Edited();
  });
}

void InterfacePage::FillValues() {
  const TQuillonOpt& opt = Opt();
  Select(preset_, -1);
  Select(baud_, IndexOf(kBaudrates, opt.Baudrate));
  Select(data_, opt.DataBits - 7);
  Select(parity_, opt.Parity);
  Select(stop_, opt.StopBits - 1);
  Select(charDelay_, IndexOf(kCharDelays, opt.CharDelay));
}

void InterfacePage::LoadPreset(int index) {
  if (index < 0 || static_cast<size_t>(index) >= kDevicePresets.size()) return;
  ApplyDevicePreset(kDevicePresets[static_cast<size_t>(index)], Opt());
  Edited();
  Fill();
  Select(preset_, index);
}

}  // namespace quillon
