#include "shell/ui/window_app.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>

#include "common/single_instance.h"
#include "common/texts.h"
#include "radio/ui/network_setup_form.h"
#include "shell/init_paths.h"
#include "shell/startup.h"
#include "shell/ui/qt_translation.h"

namespace quillon {
namespace {

// SIGTERM and SIGINT become readable on the returned descriptor instead of ending the process.
// Blocks them for the calling thread and every thread started afterwards (Qt's own included),
// so call it before any thread exists.
int BlockTerminationSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  return signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

}  // namespace

WindowedReceiver::WindowedReceiver()
    : receiver_(sink_), form_(std::make_unique<TMainForm>(MainFormEnv{receiver_, sink_})) {
  // "Funknetz konfigurieren" in the setup dialog edits a network through this dialog.
  InstallNetworkSetupDialog();
}

WindowedReceiver::~WindowedReceiver() {
  // No thread may post to the window while it goes away.
  sink_.RefuseWorkerDialogs(true);
  receiver_.Exit();
  form_.reset();
}

bool WindowedReceiver::Start(const std::string& exePath, const std::vector<std::string>& args,
                             const std::string& homeDir) {
  PortButtonLayout layout;
  if (receiver_.Start({exePath, args, homeDir}, layout) == StartupOutcome::Ended) return false;
  form_->AssignPorts(layout);
  // After a command-line error the window is shown, but the first tick's actions (start
  // files, autostart) do not run.
  if (receiver_.StartedCleanly()) form_->EnableTimer();
  if (!endRequested_) form_->ShowCentred();
  started_ = true;

  if (layout.ButtonPorts.empty() && !endRequested_) {
    sink_.ShowMessage(MessageKind::Information, txt::kNoPortActive);
    if (!form_->HasClosed() && !endRequested_) form_->OpenSettings();
  }
  if (endRequested_) form_->close();
  return true;
}

void WindowedReceiver::RequestEnd() {
  endRequested_ = true;
  sink_.SetUnattended();
  // Innermost first: each dismissed box returns to the code that opened it, which finds the
  // window closing (or the start ending) and goes no further.
  for (int guard = 0; guard < 32; ++guard) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == form_.get()) break;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
  }
  if (started_) form_->close();
}

void WatchRaiseRequests(SingleInstance& instance, TMainForm& window) {
  if (instance.raiseRequestFd() < 0) return;
  auto* notifier = new QSocketNotifier(instance.raiseRequestFd(), QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&instance, &window] {
    if (instance.TakeRaiseRequest()) window.BringToFront();
  });
}

int RunWindowed(const std::string& exePath, const std::vector<std::string>& args) {
  const int signalFd = BlockTerminationSignals();
  SingleInstance instance;
  if (!instance.Acquire()) {
    instance.AskRunningInstanceToRaise();
    if (signalFd >= 0) close(signalFd);
    return 255;
  }

  // Qt gets the program name only: the receiver's own arguments begin with "/" and "@" and are
  // not Qt's to interpret.
  int qtArgc = 1;
  std::string programName = exePath;
  char* qtArgv[] = {programName.data(), nullptr};
  QApplication application(qtArgc, qtArgv);
  application.setApplicationName(QString::fromUtf8(txt::kProgramName));
  InstallGermanQtTranslation(application);

  int code = 1;
  {
    WindowedReceiver receiver;
    TMainForm& window = receiver.window();

    if (signalFd >= 0) {
      auto* termination = new QSocketNotifier(signalFd, QSocketNotifier::Read, &window);
      QObject::connect(termination, &QSocketNotifier::activated, &window, [signalFd, &receiver] {
        signalfd_siginfo info{};
        while (read(signalFd, &info, sizeof info) == sizeof info) {
        }
        receiver.RequestEnd();
      });
    }
    WatchRaiseRequests(instance, window);

    if (receiver.Start(exePath, args, HomeDirectory())) {
      if (!window.HasClosed()) {
        code = application.exec();
      } else if (receiver.EndRequested()) {
        code = 0;
      }
    }
  }
  if (signalFd >= 0) close(signalFd);
  return code;
}

}  // namespace quillon
