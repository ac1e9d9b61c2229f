#include "serial/result_codes.h"

#include "common/texts.h"

namespace quillon {
namespace {

// Codes of the send modes that the shared text table does not hold.
constexpr txt::CodeText kSendModeTexts[] = {
    {rc::kSendLineTooLong,
     "Zeile der Sendedatei ist zu lang für den Zeilenpuffer (höchstens 99 Zeichen)"},
    {rc::kBadHexRecord, "Zeile der Sendedatei ist kein gültiger Intel-HEX-Datensatz"},
};

}  // namespace

std::string ErrorTextOf(int code) {
  for (const auto& entry : kSendModeTexts) {
    if (entry.code == code) return entry.text;
  }
  for (const auto& entry : txt::kPortErrorTexts) {
    if (entry.code == code) return entry.text;
  }
  return txt::kUnknownError;
}

}  // namespace quillon
