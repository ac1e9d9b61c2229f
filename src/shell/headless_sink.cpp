#include "shell/headless_sink.h"

#include "common/unattended_box.h"

namespace quillon {

void HeadlessSink::PostPortUpdate(int port, bool countersOnly) {
  if (handlers_.portUpdate)
    loop_.Post([this, port, countersOnly] { handlers_.portUpdate(port, countersOnly); });
}

void HeadlessSink::PostPortLed(int port, int ledState) {
  if (handlers_.portLed) loop_.Post([this, port, ledState] { handlers_.portLed(port, ledState); });
}

void HeadlessSink::PostSendFile(int port) {
  if (handlers_.sendFile) loop_.Post([this, port] { handlers_.sendFile(port); });
}

void HeadlessSink::PostSendProgress(int port, int value) {
  if (handlers_.sendProgress)
    loop_.Post([this, port, value] { handlers_.sendProgress(port, value); });
}

void HeadlessSink::PostSendResult(int port, int result) {
  if (handlers_.sendResult)
    loop_.Post([this, port, result] { handlers_.sendResult(port, result); });
}

void HeadlessSink::ShowMessage(MessageKind kind, const std::string& text) {
  WriteUnattendedMessage(err_, kind, text);
}

bool HeadlessSink::AskYesNo(const std::string& text, bool safeAnswer) {
  return WriteUnattendedQuestion(err_, text, safeAnswer);
}

}  // namespace quillon
