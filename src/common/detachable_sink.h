#pragma once
// A UI sink that forwards to the face's sink until it is detached; afterwards every post is
// dropped and every question gets its safe answer.
//
// The receive threads reach the user through this one: a thread that had to be given up at
// exit may still report after the window or the headless loop is gone, and must then find
// nobody instead of freed memory. Any thread may call it; Detach() waits for calls that are
// under way.
#include <shared_mutex>

#include "common/ui_sink.h"

namespace quillon {

class DetachableSink : public UiSink {
 public:
  explicit DetachableSink(UiSink& target) : target_(&target) {}

  void Detach();

  void PostPortUpdate(int port, bool countersOnly) override;
  void PostPortLed(int port, int ledState) override;
  void PostSendFile(int port) override;
  void PostSendProgress(int port, int value) override;
  void PostSendResult(int port, int result) override;
  void ShowMessage(MessageKind kind, const std::string& text) override;
  bool AskYesNo(const std::string& text, bool safeAnswer) override;

 private:
  std::shared_mutex mutex_;
  UiSink* target_;  // null once detached
};

}  // namespace quillon
