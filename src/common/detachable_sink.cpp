#include "common/detachable_sink.h"

#include <mutex>

namespace quillon {

void DetachableSink::Detach() {
  std::unique_lock lock(mutex_);
  target_ = nullptr;
}

void DetachableSink::PostPortUpdate(int port, bool countersOnly) {
  std::shared_lock lock(mutex_);
  if (target_ != nullptr) target_->PostPortUpdate(port, countersOnly);
}

void DetachableSink::PostPortLed(int port, int ledState) {
  std::shared_lock lock(mutex_);
  if (target_ != nullptr) target_->PostPortLed(port, ledState);
}

void DetachableSink::PostSendFile(int port) {
  std::shared_lock lock(mutex_);
  if (target_ != nullptr) target_->PostSendFile(port);
}

void DetachableSink::PostSendProgress(int port, int value) {
  std::shared_lock lock(mutex_);
  if (target_ != nullptr) target_->PostSendProgress(port, value);
}

void DetachableSink::PostSendResult(int port, int result) {
  std::shared_lock lock(mutex_);
  if (target_ != nullptr) target_->PostSendResult(port, result);
}

void DetachableSink::ShowMessage(MessageKind kind, const std::string& text) {
  std::shared_lock lock(mutex_);
  if (target_ != nullptr) target_->ShowMessage(kind, text);
}

bool DetachableSink::AskYesNo(const std::string& text, bool safeAnswer) {
  std::shared_lock lock(mutex_);
  return target_ != nullptr ? target_->AskYesNo(text, safeAnswer) : safeAnswer;
}

}  // namespace quillon
