#pragma once
// One tabbed page of a port in the setup dialog. A page shows fields of the edit copy (and a
// few program-wide options), writes every change back at once and reports it, and enables its
// controls by the rules that depend on other values.
#include <QWidget>
#include <functional>
#include <initializer_list>

#include "config/ui/setup_context.h"

class QComboBox;
class QFormLayout;
class QGroupBox;
class QSpinBox;

namespace quillon {

class SetupPage : public QWidget {
  Q_OBJECT

 public:
  SetupPage(SetupContext& context, QWidget* parent);

  // Shows the values of the edit copy and applies the enabling rules, without counting as an
  // edit.
  void Fill();
  // Enables and shows the controls by the current values.
  virtual void ApplyRules() {}

 signals:
  // The user changed a value.
  void edited();
  // A value changed that the enabling rules of other pages depend on.
  void rulesChanged();

 protected:
  virtual void FillValues() = 0;
  bool Filling() const { return filling_ > 0; }
  // Reports a change made by the user (changes made while filling are none).
  void Edited();

  TQuillonOpt& Opt() { return context_.Edit(); }
  TGlobalApp& Global() { return context_.Global(); }
  SetupContext& Context() { return context_; }

  // Builders for the common kinds of controls, named as the settings call them.
  QComboBox* NewCombo(const char* name, std::initializer_list<const char*> items);
  template <size_t N>
  QComboBox* NewCombo(const char* name, const char* const (&items)[N]) {
    return NewCombo(name, items, N);
  }
  // A spin box offering min..max in steps of `step`.
  QSpinBox* NewSpin(const char* name, int min, int max, int step);
  // Shows a stored number as it is, also one outside the spin box's range (a settings file
  // edited by hand may hold any number): the field shows what is saved. The range widens to
  // take the value until the user picks one inside it.
  static void ShowNumber(QSpinBox* spin, int value);
  static QGroupBox* NewGroup(const char* title, QWidget* parent);
  // A form layout with the dialog's spacing.
  static QFormLayout* NewForm(QWidget* parent);
  // The combo's item for `index`; -1 shows none.
  static void Select(QComboBox* combo, int index);
  // Runs `handler` with the chosen index when the user chooses an item.
  void OnChosen(QComboBox* combo, std::function<void(int)> handler);
  // Runs `handler` with the value when a spin box changes (not while filling).
  void OnValue(QSpinBox* spin, std::function<void(int)> handler);

 private:
  QComboBox* NewCombo(const char* name, const char* const* items, size_t count);

  SetupContext& context_;
  int filling_ = 0;
};

// The text of a UTF-8 literal.
QString U8(const char* text);

}  // namespace quillon
