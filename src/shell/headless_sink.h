#pragma once
// The user interface of headless mode: message boxes become one line on stderr ("Fehler: …",
// a line break of the box as a blank), questions take their safe answer and say so, window
// messages are handed to the main loop. Lines are UTF-8 and flushed one by one.
#include <cstdio>
#include <functional>

#include "common/main_loop.h"
#include "common/ui_sink.h"

namespace quillon {

struct HeadlessHandlers {
  std::function<void(int port, bool countersOnly)> portUpdate;
  std::function<void(int port, int ledState)> portLed;
  std::function<void(int port)> sendFile;
  std::function<void(int port, int value)> sendProgress;
  std::function<void(int port, int result)> sendResult;
};

class HeadlessSink : public UiSink {
 public:
  HeadlessSink(MainLoop& loop, HeadlessHandlers handlers, std::FILE* err = stderr)
      : loop_(loop), handlers_(std::move(handlers)), err_(err) {}

  void PostPortUpdate(int port, bool countersOnly) override;
  void PostPortLed(int port, int ledState) override;
  void PostSendFile(int port) override;
  void PostSendProgress(int port, int value) override;
  void PostSendResult(int port, int result) override;
  void ShowMessage(MessageKind kind, const std::string& text) override;
  bool AskYesNo(const std::string& text, bool safeAnswer) override;

 private:
  MainLoop& loop_;
  HeadlessHandlers handlers_;
  std::FILE* err_;
};

}  // namespace quillon
