#pragma once
// TQuillonSetupForm ("Quillon - Setup"): the modal dialog in which the user enables ports and
// edits every setting of a port. Two faces: the port selection, and the nine tabbed pages of the
// port being edited with "&Ok", "&Abbrechen" and "&Übernehmen" below them.
//
// Edits go to the edit copy (slot 0); a port's settings become live only when they are saved.
// The port check boxes act on the settings file at once. Reception is stopped while the dialog
// runs.
#include <QDialog>
#include <array>
#include <vector>

#include "config/ui/page_data.h"
#include "config/ui/page_net.h"
#include "config/ui/setup_context.h"

class QPushButton;
class QStackedWidget;
class QTabWidget;

namespace quillon {

class AckNakPage;
class FilesPage;
class InterfacePage;
class ModemPage;
class OptionsPage;
class PollingPage;
class PortSelectionPage;
class ProcessingPage;
class SetupPage;

class TQuillonSetupForm : public QDialog {
  Q_OBJECT

 public:
  TQuillonSetupForm(AppContext& app, UiSink& ui, QWidget* parent = nullptr);
  ~TQuillonSetupForm() override;

  // n = 1..8 shows the pages of COM n (offering a copy for a port never configured), 0 the port
  // selection.
  void ShowPort(int n);
  // Offers (ask) or performs the save of the edited port; false when the user cancelled or the
  // save failed, and the port stays shown.
  bool LeavePort(bool ask);
  void MarkModified();

  int EditPort() const { return editPort_; }
  bool Modified() const { return modified_; }

  // Actions of other parts of the program; their buttons stay disabled until set.
  void SetRadioNetworkAction(DataPage::RadioNetworkAction action);
  void SetFtpTestAction(NetPage::FtpTestAction action);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  // The window's close box and Esc on the port selection: close after the closing questions.
  void reject() override;

 private:
  QWidget* BuildButtonRow();
  template <typename Page>
  Page* AddPage(const char* title, const char* name);
  // The port selection as the dialog opens: presence probed again, "Aktiviert" from the file.
  void ShowSelection();
  void PortTicked(int n, bool ticked);
  void OkClicked();
  void CancelClicked();
  void ApplyClicked();
  void NewPassword();
  void CloseRequested();
  // The questions before closing; true when the dialog may close.
  bool MayClose();
  // Saves the edit copy and makes it live; false when the save failed.
  bool SaveEditedPort();
  void FillPages(std::initializer_list<SetupPage*> pages);
  void ApplyRules();
  void StopPollTest();

  SetupContext context_;
  int editPort_ = 0;
  bool modified_ = false;

  QStackedWidget* faces_;
  PortSelectionPage* selection_;
  QTabWidget* tabs_;
  QWidget* buttonRow_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QPushButton* apply_;
  std::vector<SetupPage*> pages_;
  InterfacePage* interface_;
  DataPage* data_;
  FilesPage* files_;
  ProcessingPage* processing_;
  PollingPage* polling_;
  ModemPage* modem_;
  NetPage* net_;
  OptionsPage* options_;
  AckNakPage* ackNak_;
};

}  // namespace quillon
