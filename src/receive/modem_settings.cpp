#include "receive/modem_settings.h"

#include "common/encoding.h"
#include "common/file_io.h"
#include "common/texts.h"

namespace quillon {

std::vector<std::string> ModemPasswordList(const TQuillonOpt& opt) {
  std::vector<std::string> list;
  if (opt.UseModemPasswordFile) {
    if (const auto bytes = ReadWholeFile(opt.ModemPasswordFile)) {
      const std::string text = DecodeTextFile(*bytes);
      size_t start = 0;
      while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (!line.empty()) list.push_back(std::move(line));
        start = end + 1;
      }
    }
  }
  if (opt.UseModemPasswords) {
    list.insert(list.end(), opt.ModemPasswords.begin(), opt.ModemPasswords.end());
  }
  return list;
}

void ApplyModemSettings(TOrvComm& port, const TQuillonOpt& opt, bool modemSendReady) {
  port.ClearInitStrings();
  port.SetInitStrings(opt.ModemInit);
  if (!opt.ModemRing.empty()) {
    port.ClearRingStrings();
    port.SetRingStrings(opt.ModemRing);
  }
  if (!opt.ModemConnect.empty()) {
    port.ClearConnectStrings();
    port.SetConnectStrings(opt.ModemConnect);
  }
  if (!opt.ModemOk.empty()) {
    port.ClearOkStrings();
    port.SetOkStrings(opt.ModemOk);
  }
  port.ClearAnswerStrings();
  port.SetAnswerStrings(opt.ModemAnswer);
  if (!opt.ModemHangup.empty()) port.hangUpString = opt.ModemHangup;
  if (modemSendReady) port.connectionId = std::string(txt::kModemReadyId) + "\r";
}

}  // namespace quillon
