#include "serial/result_codes.h"

#include "common/texts.h"

namespace quillon {

std::string ErrorTextOf(int code) {
  for (const auto& entry : txt::kPortErrorTexts) {
    if (entry.code == code) return entry.text;
  }
  return txt::kUnknownError;
}

}  // namespace quillon
