#include "send/send_operation.h"

#include <memory>

#include "common/format.h"
#include "common/texts.h"
#include "common/ui_sink.h"
#include "protocols/ack_nak.h"
#include "protocols/xyz_port.h"
#include "serial/result_codes.h"

// The three line-oriented send modes come with their own protocol classes.
#if __has_include("protocols/ms_comm.h") && __has_include("protocols/uph.h") && \
                                                          __has_include("protocols/dl.h")
#include "protocols/dl.h"
#include "protocols/ms_comm.h"
#include "protocols/uph.h"
#define QUILLON_HAVE_SEND_MODES 1
#else
#define QUILLON_HAVE_SEND_MODES 0
#endif

namespace quillon {

int SendProtocolCode(const std::string& text) {
  for (const SendProtocolItem& item : kSendProtocols)
    if (text == item.text) return item.code;
  return 0;
}

void SendCancel::Cancel() {
  std::lock_guard lock(mutex_);
  cancelled_ = true;
  if (comm_ != nullptr) comm_->SetAbortRequested(true);
  if (library_ != nullptr) library_->Wake();
}

void SendCancel::Attach(TOrvComm* comm) {
  std::lock_guard lock(mutex_);
  comm_ = comm;
  // A cancel that came before the send started ends it at its first wait.
  if (comm_ != nullptr && cancelled_.load()) comm_->SetAbortRequested(true);
}

void SendCancel::Attach(LibraryPort* port) {
  std::lock_guard lock(mutex_);
  library_ = port;
  if (library_ != nullptr && cancelled_.load()) library_->Wake();
}

void SendCancel::Detach() {
  std::lock_guard lock(mutex_);
  comm_ = nullptr;
  library_ = nullptr;
}

namespace {

struct ModeTexts {
  const char* start;
  const char* failed;
};

ModeTexts TextsOf(int protocol) {
  switch (protocol) {
    case kSendMsComm:
      return {txt::kSendMsComm, txt::kSendFailedMsComm};
    case kSendUph:
      return {txt::kSendUph, txt::kSendFailedUph};
    case kSendDl:
      return {txt::kSendDl, txt::kSendFailedDl};
    case kSendXModem:
      return {txt::kSendXModem, txt::kSendFailed};
    case kSendYModem:
      return {txt::kSendYModem, txt::kSendFailed};
    case kSendZModem:
      return {txt::kSendZModem, txt::kSendFailed};
    default:
      return {txt::kSendStandard, txt::kSendFailed};
  }
}

class Sender {
 public:
  Sender(const TQuillonOpt& opt, int protocol, const std::string& file, const SendHooks& hooks,
         SendCancel& cancel, const ShutdownState* shutdown)
      : opt_(opt),
        protocol_(protocol),
        file_(file),
        hooks_(hooks),
        cancel_(cancel),
        shutdown_(shutdown) {}

  SendOutcome Run() {
    switch (protocol_) {
      case kSendStandard:
        return Standard();
#if QUILLON_HAVE_SEND_MODES
      case kSendMsComm:
        return LineMode<TOrvMsComm>(false);
      case kSendUph:
        return LineMode<TOrvUph>(true);
      case kSendDl:
        return LineMode<TOrvDL>(true);
#endif
      case kSendXModem:
      case kSendYModem:
      case kSendZModem:
        return Modem();
      default:
        return OpenFailed(true);
    }
  }

 private:
  void Log(const std::string& line) const {
    if (hooks_.log) hooks_.log(line);
  }
  void State(int state) const {
    if (hooks_.portState) hooks_.portState(state);
  }
  void Progress(int blocks, int bytes, int percent) {
    outcome_.blocks = blocks;
    if (hooks_.progress) hooks_.progress(blocks, bytes, percent);
  }
  TOrvAckNak::Progress BlockProgress() {
    return [this](int, int blocks, int bytes, int percent) { Progress(blocks, bytes, percent); };
  }

  SendOutcome OpenFailed(bool withResult) {
    Log(txt::kSendOpenFailed);
    State(kLedError);
    if (withResult) Fail(txt::kSendOpenFailed);
    return outcome_;
  }

  void Fail(const std::string& message) {
    outcome_.result = kSendResultFailed;
    outcome_.message = message;
    State(kLedError);
  }

  // A failed send, logged; `detail` (may be empty) is added to the message on its own line.
  void SendFailed(const std::string& detail = {}) {
    const std::string text = Format(TextsOf(protocol_).failed, file_);
    Log(text);
    if (!detail.empty()) Log(detail);
    Fail(detail.empty() ? text : text + "\r" + detail);
  }

  void Sent() {
    outcome_.sent = true;
    Log(Format(txt::kSendDone, file_));
    State(kLedReady);
  }

  SendOutcome Standard() {
    TOrvAckNak port(shutdown_);
    Log(Format(txt::kSendStandard, file_));
    if (port.Open(opt_.PortName, opt_.Baudrate, opt_.DataBits, opt_.Parity, opt_.StopBits) <= 0) {
      // The standard mode has only the log line and the red port.
      return OpenFailed(false);
    }
    port.SetTimeout(opt_.AckNakRxTimeout);
    port.withFileInfo = true;
    cancel_.Attach(&port);
    const int code = port.SendFile(file_, BlockProgress());
    cancel_.Detach();
    port.Close();
    if (code != 0) {
      SendFailed();
    } else {
      Sent();
    }
    return outcome_;
  }

#if QUILLON_HAVE_SEND_MODES
  template <typename Mode>
  SendOutcome LineMode(bool hasLongLines) {
    Mode port(shutdown_);
    Log(Format(TextsOf(protocol_).start, file_));
    if (port.Open(opt_.PortName) <= 0) return OpenFailed(true);
    cancel_.Attach(&port);
    const int code = port.SendFile(file_, BlockProgress());
    cancel_.Detach();
    port.Close();
    if (code != 0) {
      std::string detail;
      if constexpr (requires { port.lastLongLine; }) {
        if (hasLongLines && port.lastLongLine > 0)
          detail = Format(txt::kSendLongLine, file_, port.lastLongLine, ErrorTextOf(code));
      }
      SendFailed(detail);
    } else {
      Sent();
    }
    return outcome_;
  }
#endif

  SendOutcome Modem() {
    LibraryPort port(shutdown_);
    if (!OpenLibraryPort(port, opt_)) {
      Log(txt::kSendOpenFailed);
      Fail(txt::kSendOpenFailed);
      return outcome_;
    }
    Log(Format(TextsOf(protocol_).start, file_));
    cancel_.Attach(&port);
    int blocks = 0;
    const int code = SendFileXyz(
        port, protocol_, file_,
        [this, &blocks](int32_t bytes, int32_t blockLength, const uint8_t*, int32_t length) {
          if (cancel_.Cancelled()) return -1;
          if (blockLength > 0) ++blocks;
          const int percent =
              length > 0 ? static_cast<int>(static_cast<int64_t>(bytes) * 100 / length) : 0;
          Progress(blocks, bytes, percent);
          return 0;
        });
    cancel_.Detach();
    port.Close();
    if (code < 0) {
      SendFailed();
    } else {
      Sent();
    }
    return outcome_;
  }

  const TQuillonOpt& opt_;
  const int protocol_;
  const std::string file_;
  const SendHooks& hooks_;
  SendCancel& cancel_;
  const ShutdownState* shutdown_;
  SendOutcome outcome_;
};

}  // namespace

SendOutcome RunSend(const TQuillonOpt& opt, int protocol, const std::string& file,
                    const SendHooks& hooks, SendCancel& cancel, const ShutdownState* shutdown) {
  return Sender(opt, protocol, file, hooks, cancel, shutdown).Run();
}

}  // namespace quillon
