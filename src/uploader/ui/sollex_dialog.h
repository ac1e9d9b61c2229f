#pragma once
// The uploader's main dialog "Varda Sollex": file choice, send and abort, the progress area with
// its scale labels and status lines, the bank indicators, the menus and the transfer thread.
#include <QDialog>
#include <QMessageBox>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "command_line.h"
#include "sollex_settings.h"
#include "upload_worker.h"

class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QAction;
class QGroupBox;

namespace sollex {

class SollexDialog : public QDialog {
  Q_OBJECT
 public:
  // Difference in height between the busy and the idle window.
  static constexpr int kProgressHeight = 95;

  explicit SollexDialog(const CommandLine& commandLine, QWidget* parent = nullptr);
  ~SollexDialog() override;

  // Tests replace the modal boxes: a message box and the question before closing while busy.
  std::function<void(QMessageBox::Icon, const QString& caption, const QString& text)> messageHook;
  std::function<bool()> confirmStopHook;
  // ComRemap.ini to use (tests); empty: the one beside the program.
  QString remapFile;
  // Pause after each bank of a set (tests shorten or lengthen it).
  int bankPauseMs = 2000;

  const QString& currentFile() const { return file_; }
  void setCurrentFile(const QString& file);
  bool busy() const { return busy_; }
  bool commandLineMode() const { return commandLineMode_; }
  // The stored choices, written back at closing.
  const SollexSettings& settings() const { return settings_; }
  SollexSettings& settings() { return settings_; }
  // Port and rate of the next transfer: "/p" and "/b" of the command line until the COM
  // settings are changed, else the stored choices.
  int portIndex() const { return portOverride_.value_or(settings_.portIndex); }
  int rateIndex() const { return rateOverride_.value_or(settings_.rateIndex); }

 public slots:
  void StartTransfer();
  void Abort();
  void ChooseFile();
  void ComSettings();
  void About();
  void MoreInfo();

 protected:
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void reject() override;

 private slots:
  // Handles the reports the worker has queued, in order.
  void TakeReports();

 private:
  struct Run;
  void BuildWindow();
  void FillRecentMenu();
  void Handle(const Report& report);
  void ResetDisplay();
  void SetIdleLayout(bool idle);
  void Message(QMessageBox::Icon icon, const QString& caption, const QString& text);
  bool WaitForWorker(int ms);
  void StopWorker();
  void Step(long done, const char* unit);
  QString RateText() const;
  QString BankPath(long bank) const;

  SollexSettings settings_;
  std::optional<int> portOverride_;
  std::optional<int> rateOverride_;
  QString file_;
  bool commandLineMode_ = false;
  bool busy_ = false;
  bool started_ = false;
  int rateShown_ = 0;
  long total_ = 0;
  QString sentPath_;

  std::shared_ptr<Run> run_;  // the current or last transfer
  std::thread worker_;

  QLineEdit* fileEdit_ = nullptr;
  QPushButton* browse_ = nullptr;
  QPushButton* send_ = nullptr;
  QPushButton* abort_ = nullptr;
  QWidget* progressArea_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QLabel* scaleHalf_ = nullptr;
  QLabel* scaleTotal_ = nullptr;
  QLabel* status1_ = nullptr;
  QLabel* status2_ = nullptr;
  QGroupBox* banks_ = nullptr;
  QLabel* bankLeds_[8] = {};
  QAction* sendAction_ = nullptr;
  QAction* abortAction_ = nullptr;
  QMenu* fileMenu_ = nullptr;
  QList<QAction*> recentActions_;
  int idleHeight_ = 0;
};

}  // namespace sollex
