#pragma once
// TMainForm: the receiver's main window. It starts and stops reception for all active ports at
// once, shows one port at a time (status, received records, logbook), one LED per port and one
// for the program, opens the settings and the about box, and receives the window messages of
// the receive threads.
//
// Main thread only. The receive threads reach it through posted PortEvents alone; it reads a
// port's TMyThreads record while handling that port's events and takes ListLock for the
// record's strings and lists.
#include <QMainWindow>
#include <array>
#include <string>

#include "shell/receiver.h"
#include "shell/startup.h"
#include "shell/ui/qt_ui_sink.h"

class QAction;
class QActionGroup;
class QButtonGroup;
class QLabel;
class QPlainTextEdit;
class QTabWidget;
class QTimer;
class QToolButton;
class QPushButton;

namespace quillon {

class TLED;
class TTxForm;

// What the window works with; owned by the windowed application.
struct MainFormEnv {
  Receiver& receiver;
  QtUiSink& sink;
};

class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  explicit TMainForm(MainFormEnv env, QWidget* parent = nullptr);
  ~TMainForm() override;

  // The port buttons, pages and menu items for the active ports (start-up and after the
  // settings); the first button is pressed.
  void AssignPorts(const PortButtonLayout& layout);
  // Shows the window in the middle of the screen.
  void ShowCentred();
  // Start-up done: the timer's first tick comes 500 ms later.
  void EnableTimer();
  // The settings ("&Einstellungen", F9, KonfigBtn).
  void OpenSettings();
  // A second start of the program asked for this window.
  void BringToFront();

  bool Receiving() const;
  int ShownPort() const { return layout_.ShownPort() == 0 ? 0 : shownPort_; }
  // The exit sequence has run; the window stays closed.
  bool HasClosed() const { return closed_; }

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private slots:
  void ToggleReception();
  void StartStopClicked(bool pressed);
  // "&Senden" (F6, TxBtn): the send dialog, modal.
  void OpenSendDialog();
  void ShowAbout();
  void TimerTick();
  void FlushPortUpdates();
  void PageChanged(int index);
  void PortButtonClicked(int index);

 private:
  struct PendingUpdate {
    bool posted = false;
    bool linesAdded = false;
    int signedPort = 0;  // negative: a send progress report
  };

  void BuildMenus();
  QWidget* BuildToolRow(QWidget* parent);
  QWidget* BuildPortColumn(QWidget* parent);
  QWidget* BuildPages(QWidget* parent);
  void StartReception();
  void StopReception();
  // Menu caption and check mark, StartStopBtn and the program LED from the reception state.
  void ShowReceptionState();
  void EnableCommands();

  void OnPortUpdate(int port, bool countersOnly);
  void OnPortLed(int port, int state);
  void OnSendFile(int port);
  // A send thread's progress (-1: over) and result: to the send dialog while it shows that
  // port's send, otherwise (the command-line start file) a failure in a box.
  void OnSendProgress(int port, int value);
  void OnSendResult(int port, int result);
  void OnLogbookChanged(int port);
  // The status, data and logbook pages and the status bar of the shown port, afresh.
  void RefreshShownPort();
  void RefreshStatusPage(int port);
  void RefreshDataPage(int port);
  void RefreshLogbookPage();
  void RefreshStatusBar(int port);
  void AdjustHeight();

  MainFormEnv env_;
  PortButtonLayout layout_;
  int shownPort_ = 0;
  bool firstTickDone_ = false;
  bool closed_ = false;
  bool logbookStale_ = true;
  std::array<PendingUpdate, kPortCount + 1> pending_{};
  std::string shownFileName_;
  TTxForm* sendForm_ = nullptr;  // while the send dialog is open

  // Components, by the names the window's users know them by.
  QToolButton* StartStopBtn = nullptr;
  QToolButton* TxBtn = nullptr;
  QToolButton* KonfigBtn = nullptr;
  TLED* LED = nullptr;
  QTabWidget* PC = nullptr;
  QWidget* TSStatus = nullptr;
  QWidget* TSDaten = nullptr;
  QWidget* TSLogbuch = nullptr;
  QWidget* TSLeer = nullptr;
  QLabel* RxTxDatenBloeckeLbl = nullptr;
  QLabel* AnzDSLbl = nullptr;
  QLabel* RxTxBytesLbl = nullptr;
  QLabel* AnzBytesLbl = nullptr;
  QLabel* DateiLbl = nullptr;
  QLabel* FileNameLbl = nullptr;
  QPlainTextEdit* Datenzeilen = nullptr;
  QPlainTextEdit* Logbuchzeilen = nullptr;
  std::array<QPushButton*, kPortCount> ComBtn{};
  std::array<TLED*, kPortCount> ComLED{};
  QButtonGroup* ComBtnGroup = nullptr;
  QLabel* StatusBarText = nullptr;
  QTimer* Timer = nullptr;
  QTimer* MergeTimer = nullptr;

  QAction* ReceptionItem = nullptr;
  QAction* SendItem = nullptr;
  QAction* QuitItem = nullptr;
  QActionGroup* ViewGroup = nullptr;
  QAction* ViewStatusItem = nullptr;
  QAction* ViewDataItem = nullptr;
  QAction* ViewLogbookItem = nullptr;
  QAction* SettingsItem = nullptr;
  QAction* VersionItem = nullptr;
};

}  // namespace quillon
