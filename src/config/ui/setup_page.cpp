#include "config/ui/setup_page.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QSpinBox>
#include <algorithm>

namespace quillon {
namespace {

// The range a spin box offers, kept beside the one it shows.
constexpr const char* kOfferedMin = "quillonOfferedMin";
constexpr const char* kOfferedMax = "quillonOfferedMax";

}  // namespace

QString U8(const char* text) { return QString::fromUtf8(text); }

SetupPage::SetupPage(SetupContext& context, QWidget* parent) : QWidget(parent), context_(context) {}

void SetupPage::Fill() {
  ++filling_;
  FillValues();
  ApplyRules();
  --filling_;
}

void SetupPage::Edited() {
  if (!Filling()) emit edited();
}

QComboBox* SetupPage::NewCombo(const char* name, std::initializer_list<const char*> items) {
  return NewCombo(name, items.begin(), items.size());
}

QComboBox* SetupPage::NewCombo(const char* name, const char* const* items, size_t count) {
  auto* combo = new QComboBox(this);
  combo->setObjectName(name);
  for (size_t i = 0; i < count; ++i) combo->addItem(U8(items[i]));
  combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  return combo;
}

QSpinBox* SetupPage::NewSpin(const char* name, int min, int max, int step) {
  auto* spin = new QSpinBox(this);
  spin->setObjectName(name);
  spin->setRange(min, max);
  spin->setProperty(kOfferedMin, min);
  spin->setProperty(kOfferedMax, max);
  spin->setSingleStep(step);
  spin->setMinimumWidth(90);
  // A value back inside the offered range closes a range widened for a stored number.
  connect(spin, &QSpinBox::valueChanged, spin, [spin, min, max](int value) {
    if (value >= min && value <= max) spin->setRange(min, max);
  });
  return spin;
}

void SetupPage::ShowNumber(QSpinBox* spin, int value) {
  const int min = spin->property(kOfferedMin).toInt();
  const int max = spin->property(kOfferedMax).toInt();
  spin->setRange(std::min(min, value), std::max(max, value));
  spin->setValue(value);
}

QGroupBox* SetupPage::NewGroup(const char* title, QWidget* parent) {
  auto* group = new QGroupBox(U8(title), parent);
  return group;
}

QFormLayout* SetupPage::NewForm(QWidget* parent) {
  auto* form = new QFormLayout(parent);
  form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  form->setHorizontalSpacing(12);
  form->setVerticalSpacing(8);
  return form;
}

void SetupPage::Select(QComboBox* combo, int index) {
  combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void SetupPage::OnChosen(QComboBox* combo, std::function<void(int)> handler) {
  connect(combo, &QComboBox::activated, this, [this, handler](int index) {
    if (!Filling() && index >= 0) handler(index);
  });
}

void SetupPage::OnValue(QSpinBox* spin, std::function<void(int)> handler) {
  connect(spin, &QSpinBox::valueChanged, this, [this, handler](int value) {
    if (!Filling()) handler(value);
  });
}

}  // namespace quillon
