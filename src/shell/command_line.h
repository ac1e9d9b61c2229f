#pragma once
// The command line of the receiver, applied after the settings are loaded.
//
// Every argument is examined; an argument may combine several blank-separated options
// ("/com3 b:9600 f:8N1 tx:file"). "@file" reads further arguments from a file, one per line,
// lines beginning with ';' skipped. Values override the loaded settings for this run only.
// "/ini" and "/dir" were applied before the settings were read and are skipped here.
#include <string>
#include <vector>

#include "config/settings_types.h"

namespace quillon {

struct CommandLineResult {
  bool ok = true;
  // The error ends the program (otherwise it starts with the options applied so far).
  bool endProgram = false;
  std::string message;  // the text of the error box
};

class CommandLine {
 public:
  explicit CommandLine(AppContext& app) : app_(app) {}

  // Parses until the first error.
  CommandLineResult Apply(const std::vector<std::string>& args);

  bool headless() const { return headless_; }

 private:
  CommandLineResult ApplyArgument(const std::string& arg, int depth);
  CommandLineResult ApplyOptionFile(const std::string& arg, int depth);
  CommandLineResult ApplyOptions(const std::string& arg);

  AppContext& app_;
  bool headless_ = false;
};

// True when any argument holds the word "/headless" (needed before start-up).
bool HasHeadlessSwitch(const std::vector<std::string>& args);

}  // namespace quillon
