// TMainForm: reception, settings, closing and the window messages.
#include "shell/ui/main_form.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdlib>
#include <utility>

#include "common/texts.h"
#include "common/ui/message_boxes.h"
#include "config/ui/setup_entry.h"
#include "receive/external_logbook.h"
#include "send/ui/tx_form.h"
#include "shell/ui/about_box.h"
#include "shell/ui/led.h"
#include "shell/ui/port_events.h"
#include "shell/ui/qtext.h"
#include "shell/ui/window_texts.h"

namespace quillon {
namespace {

// Updates of busy ports are merged: the first one starts this short wait, and until the
// window has taken them over the ports' pending flags keep the threads from posting more.
constexpr int kMergeMs = 40;
constexpr int kTimerMs = 500;

}  // namespace

TMainForm::TMainForm(MainFormEnv env, QWidget* parent) : QMainWindow(parent), env_(env) {
  setObjectName("MainForm");
  setWindowTitle(QText(txt::kProgramName));
  // A fixed-size frame with a minimise button and no maximise button.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

  BuildMenus();
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(8, 6, 8, 4);
  layout->setSpacing(6);
  layout->addWidget(BuildToolRow(central));
  auto* body = new QHBoxLayout;
  body->setSpacing(8);
  body->addWidget(BuildPortColumn(central), 0, Qt::AlignTop);
  body->addWidget(BuildPages(central), 1);
  layout->addLayout(body, 1);
  setCentralWidget(central);

  QStatusBar* bar = statusBar();
  bar->setObjectName("StatusBar");
  bar->setSizeGripEnabled(false);
  StatusBarText = new QLabel(bar);
  StatusBarText->setObjectName("StatusBarText");
  StatusBarText->setTextFormat(Qt::PlainText);
  bar->addWidget(StatusBarText, 1);

  Timer = new QTimer(this);
  Timer->setObjectName("Timer");
  Timer->setInterval(kTimerMs);
  connect(Timer, &QTimer::timeout, this, &TMainForm::TimerTick);
  MergeTimer = new QTimer(this);
  MergeTimer->setSingleShot(true);
  MergeTimer->setInterval(kMergeMs);
  connect(MergeTimer, &QTimer::timeout, this, &TMainForm::FlushPortUpdates);

  env_.sink.SetTarget(this);
  env_.receiver.logbook().changed = [this](int port) { OnLogbookChanged(port); };
  AssignPorts(AssignPortButtons(env_.receiver.app().GlobalApp));
  ShowReceptionState();
}

TMainForm::~TMainForm() {
  env_.sink.SetTarget(nullptr);
  env_.receiver.logbook().changed = nullptr;
}

// ---- reception -------------------------------------------------------------------------------

void TMainForm::ToggleReception() {
  if (closed_ || !ReceptionItem->isEnabled()) {
    ShowReceptionState();
    return;
  }
  if (Receiving()) {
    StopReception();
  } else {
    StartReception();
  }
}

void TMainForm::StartStopClicked(bool pressed) {
  // The button toggles reception only when its new state differs from it, so that button and
  // menu item never disagree.
  if (pressed != Receiving()) {
    ToggleReception();
  } else {
    ShowReceptionState();
  }
}

void TMainForm::StartReception() {
  env_.receiver.StartReception();  // every new receive thread starts with its pending flags cleared
  Timer->start();
  ShowReceptionState();
  RefreshStatusPage(ShownPort());
}

void TMainForm::StopReception() {
  // The threads are waited for here; one that asks for a box meanwhile gets its safe answer.
  env_.sink.RefuseWorkerDialogs(true);
  env_.receiver.StopReception();
  env_.sink.RefuseWorkerDialogs(false);
  if (firstTickDone_) Timer->stop();
  ShowReceptionState();
  RefreshStatusPage(ShownPort());
}

void TMainForm::ShowReceptionState() {
  const bool on = Receiving();
  ReceptionItem->setText(QText(on ? txt::kMenuReceptionStarted : txt::kMenuStartReception));
  ReceptionItem->setChecked(on);
  StartStopBtn->setChecked(on);
  StartStopBtn->setIcon(style()->standardIcon(on ? QStyle::SP_MediaStop : QStyle::SP_MediaPlay));
  LED->Set(on ? TLED::Color::Green : TLED::Color::Yellow, on);
}

void TMainForm::TimerTick() {
  if (!firstTickDone_) {
    firstTickDone_ = true;
    if (!Receiving()) Timer->stop();
    env_.receiver.PostStartFiles();
    if (env_.receiver.app().GlobalApp.Autostart) {
      if (!Receiving()) ToggleReception();
      // A window whose reception could not start (no active port) stays in sight.
      if (Receiving()) showMinimized();
    }
    return;
  }
  if (Receiving()) {
    LED->Toggle();
  } else {
    Timer->stop();
  }
}

void TMainForm::OpenSendDialog() {
  if (closed_ || sendForm_ != nullptr || !SendItem->isEnabled()) return;
  TTxForm form(env_.receiver, env_.sink, this);
  sendForm_ = &form;
  form.exec();
  sendForm_ = nullptr;
}

// ---- settings, about box, closing ------------------------------------------------------------

void TMainForm::OpenSettings() {
  if (closed_) return;
  const bool wasReceiving = Receiving();
  bool dialogRan = false;
  if (CheckSetupPassword(this, env_.receiver.app(), env_.sink) && !closed_) {
    bool stopped = !Receiving();
    if (!stopped && AskYesNoBox(this, txt::kStopForSettings) && !closed_) {
      StopReception();
      stopped = true;
    }
    if (stopped && !closed_) {
      // A send started from the command line reads the settings the dialog edits.
      env_.sink.RefuseWorkerDialogs(true);
      env_.receiver.EndSends();
      env_.sink.RefuseWorkerDialogs(false);
      OpenSetupDialog(this, env_.receiver.app(),
                      env_.sink);  // reads the ports' "Aktiviert" flags again
      dialogRan = true;
      if (closed_) return;
      AssignPorts(AssignPortButtons(env_.receiver.app().GlobalApp));
      ExternalLogbook(env_.receiver.app(), env_.sink).ReadState();
      env_.receiver.logbook().UpdateExternalNames(false);
    }
  }
  if (closed_) return;
  if (layout_.ButtonPorts.empty()) {
    ShowMessageBox(this, MessageKind::Error, txt::kEndingNoPortActive);
    close();
    return;
  }
  if (wasReceiving && dialogRan && AskYesNoBox(this, txt::kRestartReception) && !closed_) {
    StartReception();
  }
}

void TMainForm::ShowAbout() { ShowAboutBox(this); }

void TMainForm::closeEvent(QCloseEvent* event) {
  if (!closed_) {
    closed_ = true;
    MergeTimer->stop();
    Timer->stop();
    // The threads are waited for here; one that asks for a box meanwhile gets its safe answer.
    env_.sink.RefuseWorkerDialogs(true);
    env_.receiver.Exit();
    env_.sink.RefuseWorkerDialogs(false);
    ShowReceptionState();
    RefreshStatusPage(ShownPort());
  }
  event->accept();
}

void TMainForm::BringToFront() {
  if (closed_) return;
  showNormal();
  raise();
  activateWindow();
}

// ---- window messages -------------------------------------------------------------------------

bool TMainForm::event(QEvent* event) {
  if (PortEvent::IsPortEvent(event)) {
    const auto* e = static_cast<const PortEvent*>(event);
    switch (static_cast<int>(e->type())) {
      case kWmPortUpdate:
        OnPortUpdate(e->port(), e->param() != 0);
        break;
      case kWmPortLed:
        OnPortLed(e->port(), e->param());
        break;
      case kWmPortSendFile:
        OnSendFile(e->port());
        break;
      case kWmSendProgress:
        OnSendProgress(e->port(), e->param());
        break;
      case kWmSendResult:
        OnSendResult(e->port(), e->param());
        break;
      default:
        break;
    }
    return true;
  }
  // The status bar shows the shown port's status line only, never a menu item's tip.
  if (event->type() == QEvent::StatusTip) return true;
  return QMainWindow::event(event);
}

void TMainForm::OnPortUpdate(int port, bool countersOnly) {
  const int n = std::abs(port);
  if (n < 1 || n > kPortCount) return;
  PendingUpdate& update = pending_[n];
  update.posted = true;
  update.linesAdded = update.linesAdded || !countersOnly;
  update.signedPort = port;
  if (!MergeTimer->isActive()) MergeTimer->start();
}

void TMainForm::FlushPortUpdates() {
  const auto updates = std::exchange(pending_, {});
  // Cleared before anything is read: a change made from here on posts a new update.
  for (int n = 1; n <= kPortCount; ++n) {
    if (updates[n].posted) env_.receiver.status()[n].UpdatePending = false;
  }
  env_.receiver.TakeOverUpdates();
  const int shown = ShownPort();
  if (shown == 0 || !updates[shown].posted) return;
  const PendingUpdate& update = updates[shown];
  RefreshStatusPage(update.signedPort);
  if (update.linesAdded) {
    RefreshDataPage(shown);
    RefreshLogbookPage();
  }
  RefreshStatusBar(shown);
}

void TMainForm::OnPortLed(int port, int state) {
  if (port < 1 || port > kPortCount) return;
  TMyThreads& st = env_.receiver.status()[port];
  st.LedPending = false;
  // States set while this message was queued were not posted; the last of them is shown too,
  // so a port never keeps an LED from the middle of a transfer.
  const int latest = st.LedState.load();
  for (size_t i = 0; i < layout_.ButtonPorts.size() && i < ComLED.size(); ++i) {
    if (layout_.ButtonPorts[i] != port) continue;
    ComLED[i]->ShowPortState(state);
    if (latest != state) ComLED[i]->ShowPortState(latest);
  }
}

void TMainForm::OnSendFile(int port) { env_.receiver.SendStartFile(port); }

void TMainForm::OnSendProgress(int port, int value) {
  if (port < 1 || port > kPortCount) return;
  if (sendForm_ != nullptr && sendForm_->OwnsSend(port)) {
    sendForm_->OnSendProgress(port, value);
  } else if (value != -1) {
    env_.receiver.Sender(port).ProgressTaken();
  }
}

void TMainForm::OnSendResult(int port, int result) {
  if (port < 1 || port > kPortCount || closed_) return;
  if (sendForm_ != nullptr && sendForm_->OwnsSend(port)) {
    sendForm_->OnSendResult(port, result);
  } else {
    env_.receiver.ShowSendFailure(port);
  }
}

void TMainForm::OnLogbookChanged(int port) {
  if (port != kAllPorts && port != ShownPort()) return;
  logbookStale_ = true;
  RefreshLogbookPage();
}

}  // namespace quillon
