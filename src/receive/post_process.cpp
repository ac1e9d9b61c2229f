#include "receive/post_process.h"

#include <string_view>

#include "common/clock.h"
#include "common/format.h"
#include "common/process_start.h"
#include "common/texts.h"

namespace quillon {

std::string BuildProgramCall(const std::string& tmpl, const std::string& lastStoredFile, int port) {
  // One pass over the template: a placeholder is recognised only in the template's own text,
  // so nothing inserted is looked at again. "%datei" is tried before "%com".
  static constexpr std::string_view kFile = "%datei";
  static constexpr std::string_view kPort = "%com";
  const std::string portText = std::to_string(port);
  const std::string_view in = tmpl;
  std::string out;
  out.reserve(tmpl.size() + lastStoredFile.size());
  size_t i = 0;
  while (i < in.size()) {
    if (in.substr(i, kFile.size()) == kFile) {
      out += lastStoredFile;
      i += kFile.size();
    } else if (in.substr(i, kPort.size()) == kPort) {
      out += portText;
      i += kPort.size();
    } else {
      out += in[i++];
    }
  }
  return out;
}

void PostProcess(int port, const TQuillonOpt& opt, const std::string& lastStoredFile,
                 const std::string& programDir, PortReporter& reporter) {
  if (opt.CallMode == 0) return;
  const bool wait = opt.CallMode == 2;
  const std::string call = BuildProgramCall(opt.ProgramCall, lastStoredFile, port);
  auto report = [&](bool force, int level, const std::string& text) {
    reporter.Report(force, level, text, text);
  };

  report(false, 1, Format(wait ? txt::kPostStartWait : txt::kPostStart, call));
  const uint64_t start = Clock();
  if (RunProgram(call, wait, programDir) != 0) {
    report(true, 1, Format(txt::kPostCallFailed, call));
    return;
  }
  const uint64_t end = Clock();
  if (wait) report(true, 1, Format(txt::kPostCallEnded, call));
  report(true, 2, Format(txt::kPostCallDuration, static_cast<int>(end - start)));
}

}  // namespace quillon
