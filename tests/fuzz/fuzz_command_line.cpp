// Fuzz target: the receiver's command line and its "@" option files. The input is the text of an
// option file. It is applied once as "@file" and once as the arguments its lines stand for; both
// must end the same way and change the same settings. Whatever is applied, only ports 1..8 change,
// and only to values the settings allow; a refused argument always says why.
#include <array>
#include <string>
#include <vector>

#include "common/encoding.h"
#include "config/settings_types.h"
#include "fuzz_support.h"
#include "shell/command_line.h"

namespace {

using namespace quillon;
using fuzz::Check;

constexpr int kUntouched = -1;

struct Outcome {
  CommandLineResult result;
  bool headless = false;
  bool autostart = false;
  bool testPorts = true;
  std::array<std::array<int, 5>, kPortCount + 1> ports{};
  std::array<std::string, kPortCount + 1> sendFiles{};
};

bool IsBaud(int v) {
  for (const int rate : {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}) {
    if (v == rate) return true;
  }
  return false;
}

Outcome Run(const std::vector<std::string>& args) {
  AppContext app;
  for (TQuillonOpt& opt : app.PortSettings) {
    opt.Baudrate = opt.DataBits = opt.Parity = opt.StopBits = kUntouched;
  }
  CommandLine line(app);
  Outcome out;
  out.result = line.Apply(args);
  out.headless = line.headless();
  out.autostart = app.GlobalApp.Autostart;
  out.testPorts = app.GlobalApp.TestPorts;
  for (int n = 0; n <= kPortCount; ++n) {
    const TQuillonOpt& opt = app.PortSettings[n];
    out.ports[n] = {opt.Baudrate, opt.DataBits, opt.Parity, opt.StopBits, opt.StartSendMode};
    out.sendFiles[n] = opt.StartSendFile;
    Check(opt.Baudrate == kUntouched || (n > 0 && IsBaud(opt.Baudrate)));
    Check(opt.DataBits == kUntouched || (n > 0 && (opt.DataBits == 7 || opt.DataBits == 8)));
    Check(opt.Parity == kUntouched || (n > 0 && opt.Parity >= 0 && opt.Parity <= 2));
    Check(opt.StopBits == kUntouched || (n > 0 && (opt.StopBits == 1 || opt.StopBits == 2)));
    Check((opt.StartSendMode == 1) == !opt.StartSendFile.empty());
    Check(opt.StartSendFile.empty() || n > 0);
  }
  Check(out.result.ok || !out.result.message.empty());
  return out;
}

// The arguments an option file's text stands for: its lines without trailing blanks and CR,
// empty lines and those beginning with ';' left out.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
      line.pop_back();
    }
    pos = end + 1;
    if (!line.empty() && line[0] != ';') lines.push_back(line);
  }
  return lines;
}

bool Same(const Outcome& a, const Outcome& b) {
  return a.result.ok == b.result.ok && a.result.endProgram == b.result.endProgram &&
         a.result.message == b.result.message && a.headless == b.headless &&
         a.autostart == b.autostart && a.testPorts == b.testPorts && a.ports == b.ports &&
         a.sendFiles == b.sendFiles;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = fuzz::Text(data, size);
  const fuzz::ScratchFile file("options.txt", bytes);
  const std::vector<std::string> lines = Lines(DecodeTextFile(bytes));
  (void)HasHeadlessSwitch(lines);
  const Outcome viaFile = Run({"@" + file.path()});
  const Outcome direct = Run(lines);
  Check(Same(viaFile, direct));
  return 0;
}
