#pragma once
// Page "Modem": reception through an answering modem, its command strings and the send
// passwords.
#include <vector>

#include "config/ui/setup_page.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QSpinBox;
class QToolButton;

namespace quillon {

class DropLineEdit;

class ModemPage : public SetupPage {
  Q_OBJECT

 public:
  ModemPage(SetupContext& context, QWidget* parent);
  void ApplyRules() override;

 protected:
  void FillValues() override;

 private:
  // A modem string field; `required` ones may not be left empty.
  QLineEdit* NewStringField(const char* name, std::string TQuillonOpt::*field, bool required);
  void PasswordFileEdited();
  void BrowsePasswordFile();

  QRadioButton* on_;
  QRadioButton* off_;
  QCheckBox* usePasswords_;
  QPlainTextEdit* passwords_;
  QCheckBox* usePasswordFile_;
  DropLineEdit* passwordFile_;
  QToolButton* browse_;
  struct StringField {
    QLineEdit* edit;
    std::string TQuillonOpt::*field;
  };
  std::vector<StringField> strings_;
  QSpinBox* pollTime_;
};

}  // namespace quillon
