#include "config/ui/setup_entry.h"

#include <QApplication>

#include "common/format.h"
#include "common/ui/message_boxes.h"
#include "config/settings_store.h"
#include "config/ui/setup_form.h"
#include "radio/tembra_fkt.h"
#include "radio/ui/network_texts.h"

namespace quillon {
namespace {

// The line settings of a radio network: 8 data bits, mark parity, 1 stop bit.
constexpr int kNetworkDataBits = 8;
constexpr int kNetworkParity = 3;
constexpr int kNetworkStopBits = 1;

// The wait cursor while the network's line is worked on the main thread (opening checks the
// satellites, closing tells them to stop), lifted while the user is asked something.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

// Opens the port's radio network, lets the user edit it in the network setup dialog and closes
// it again. Reception is stopped while the setup dialog runs, so no receive thread holds the
// port; a port held by another program is refused at once.
void ConfigureRadioNetwork(QWidget* parent, const AppContext& app, const std::string& portName,
                           int baudrate) {
  NetworkContext context;
  context.programDir = app.AppInfo.ProgramDir;
  context.askYesNo = [parent](const std::string& question) {
    QApplication::restoreOverrideCursor();
    const bool yes = AskYesNoBox(parent, question);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    return yes;
  };
  const std::string port = portName.substr(0, portName.find(':'));
  int handle = 0;
  {
    BusyCursor busy;
    handle = TembraOpen(portName, baudrate, kNetworkDataBits, kNetworkParity, kNetworkStopBits, "",
                        context);
  }
  if (handle < 1) {
    ShowMessageBox(parent, MessageKind::Error,
                   Format(handle == -2 ? nettxt::kNoNetworkFree : nettxt::kPortOpenFailed, port));
    return;
  }
  (void)TembraConfigure(handle);
  BusyCursor busy;
  (void)TembraClose(handle);
}

}  // namespace

// CheckSetupPassword lives with the other password dialogs in setup_password.cpp.

void OpenSetupDialog(QWidget* parent, AppContext& app, UiSink& ui) {
  {
    TQuillonSetupForm dialog(app, ui, parent);
    dialog.SetRadioNetworkAction([&app](QWidget* from, const std::string& portName, int baudrate) {
      ConfigureRadioNetwork(from, app, portName, baudrate);
    });
    dialog.exec();
  }
  SettingsStore(app, ui).ReadPortActiveFlags();
}

}  // namespace quillon
