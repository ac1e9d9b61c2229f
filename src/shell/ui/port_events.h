#pragma once
// The window messages of the receive and send threads as Qt events posted to the main window.
// The numbers are the messages' own (WM_PORT_UPDATE 0x500 ... 0x504); all lie in Qt's range
// for user events.
#include <QEvent>

namespace quillon {

enum PortEventType : int {
  kWmPortUpdate = 0x500,    // port, param 1 = counters/status only, 0 = lines added
  kWmSendProgress = 0x501,  // port, param = progress value (to the send dialog)
  kWmPortLed = 0x502,       // port, param = LED state
  kWmPortSendFile = 0x503,  // port: send its command-line start file
  kWmSendResult = 0x504,    // port, param = final result (to the send dialog)
};

class PortEvent : public QEvent {
 public:
  PortEvent(PortEventType type, int port, int param)
      : QEvent(static_cast<QEvent::Type>(type)), port_(port), param_(param) {}

  int port() const { return port_; }
  int param() const { return param_; }

  static bool IsPortEvent(const QEvent* event) {
    return event->type() >= static_cast<QEvent::Type>(kWmPortUpdate) &&
           event->type() <= static_cast<QEvent::Type>(kWmSendResult);
  }

 private:
  int port_;
  int param_;
};

}  // namespace quillon
