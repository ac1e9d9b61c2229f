#pragma once
// Page "Dateien": the target file name with its placeholders, the file mode and the preview of
// the complete name.
#include "config/ui/setup_page.h"

class QComboBox;
class QLabel;
class QMenu;
class QSpinBox;
class QToolButton;

namespace quillon {

class DropLineEdit;
class ElidedLabel;

class FilesPage : public SetupPage {
  Q_OBJECT

 public:
  FilesPage(SetupContext& context, QWidget* parent);
  void ApplyRules() override;

 protected:
  void FillValues() override;

 private:
  void FileNameEdited();
  void ModeChosen(int mode);
  void Browse();
  void UpdatePreview();
  void ShowPlaceholderMenu(const QPoint& where);

  DropLineEdit* fileName_;
  QToolButton* placeholders_;
  QToolButton* browse_;
  QMenu* placeholderMenu_;
  QAction* sequentialItem_;
  QComboBox* mode_;
  QLabel* digitsLabel_;
  QSpinBox* digits_;
  QLabel* firstLabel_;
  QSpinBox* first_;
  ElidedLabel* preview_;
};

}  // namespace quillon
