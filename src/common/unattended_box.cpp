#include "common/unattended_box.h"

#include <mutex>

#include "common/format.h"
#include "common/texts.h"

namespace quillon {
namespace {

std::mutex& WriteMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string OneLine(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

void WriteLine(std::FILE* out, const std::string& line) {
  std::lock_guard lock(WriteMutex());
  std::fputs(line.c_str(), out);
  std::fputc('\n', out);
  std::fflush(out);
}

}  // namespace

void WriteUnattendedMessage(std::FILE* out, MessageKind kind, const std::string& text) {
  WriteLine(out, std::string(MessageCaption(kind)) + ": " + OneLine(text));
}

bool WriteUnattendedQuestion(std::FILE* out, const std::string& text, bool safeAnswer) {
  WriteLine(out, std::string(txt::kCaptionQuestion) + ": " + OneLine(text) + " " +
                     Format(txt::kHeadlessSafeAnswer, safeAnswer ? txt::kYes : txt::kNo));
  return safeAnswer;
}

}  // namespace quillon
