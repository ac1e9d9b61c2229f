#include "shell/headless_sink.h"

#include "common/format.h"
#include "common/texts.h"

namespace quillon {

std::string OneLine(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

void HeadlessSink::WriteLine(const std::string& line) {
  std::lock_guard lock(write_mutex_);
  std::fputs(line.c_str(), err_);
  std::fputc('\n', err_);
  std::fflush(err_);
}

void HeadlessSink::PostPortUpdate(int port, bool countersOnly) {
  if (handlers_.portUpdate) loop_.Post([this, port, countersOnly] { handlers_.portUpdate(port, countersOnly); });
}

void HeadlessSink::PostPortLed(int port, int ledState) {
  if (handlers_.portLed) loop_.Post([this, port, ledState] { handlers_.portLed(port, ledState); });
}

void HeadlessSink::PostSendFile(int port) {
  if (handlers_.sendFile) loop_.Post([this, port] { handlers_.sendFile(port); });
}

void HeadlessSink::PostSendProgress(int port, int value) {
  if (handlers_.sendProgress) loop_.Post([this, port, value] { handlers_.sendProgress(port, value); });
}

void HeadlessSink::PostSendResult(int port, int result) {
  if (handlers_.sendResult) loop_.Post([this, port, result] { handlers_.sendResult(port, result); });
}

void HeadlessSink::ShowMessage(MessageKind kind, const std::string& text) {
  WriteLine(std::string(MessageCaption(kind)) + ": " + OneLine(text));
}

bool HeadlessSink::AskYesNo(const std::string& text, bool safeAnswer) {
  WriteLine(std::string(txt::kCaptionQuestion) + ": " + OneLine(text) + " " +
            Format(txt::kHeadlessSafeAnswer, safeAnswer ? txt::kYes : txt::kNo));
  return safeAnswer;
}

}  // namespace quillon
