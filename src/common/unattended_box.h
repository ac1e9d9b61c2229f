#pragma once
// A message box or question where nobody can answer (headless mode, a window that is ending):
// one UTF-8 line "caption: text", a line break of the box written as a blank; a question adds
// the safe answer it takes. Lines from several threads never mix; each is flushed.
#include <cstdio>
#include <string>

#include "common/ui_sink.h"

namespace quillon {

void WriteUnattendedMessage(std::FILE* out, MessageKind kind, const std::string& text);
// Returns `safeAnswer`.
bool WriteUnattendedQuestion(std::FILE* out, const std::string& text, bool safeAnswer);

}  // namespace quillon
