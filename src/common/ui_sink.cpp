#include "common/ui_sink.h"

#include "common/texts.h"

namespace quillon {

const char* MessageCaption(MessageKind kind) {
  switch (kind) {
    case MessageKind::Error:
      return txt::kCaptionError;
    case MessageKind::Warning:
      return txt::kCaptionWarning;
    case MessageKind::Information:
      return txt::kCaptionInformation;
  }
  return txt::kCaptionError;
}

}  // namespace quillon
