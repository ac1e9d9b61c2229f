#pragma once
// A UI sink that records what the engine shows, for tests.
#include <mutex>
#include <string>
#include <vector>

#include "common/ui_sink.h"

namespace quillon::test {

class RecordingSink : public UiSink {
 public:
  struct Message {
    MessageKind kind;
    std::string text;
  };

  void PostPortUpdate(int, bool) override {}
  void PostPortLed(int, int) override {}
  void PostSendFile(int) override {}
  void PostSendProgress(int, int) override {}
  void PostSendResult(int, int) override {}
  void ShowMessage(MessageKind kind, const std::string& text) override {
    std::lock_guard lock(mutex);
    messages.push_back({kind, text});
  }
  bool AskYesNo(const std::string& text, bool safeAnswer) override {
    std::lock_guard lock(mutex);
    questions.push_back(text);
    return safeAnswer;
  }

  int Count(const std::string& text) {
    std::lock_guard lock(mutex);
    int n = 0;
    for (const auto& m : messages) n += m.text == text;
    return n;
  }

  std::mutex mutex;
  std::vector<Message> messages;
  std::vector<std::string> questions;
};

}  // namespace quillon::test
