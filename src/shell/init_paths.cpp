#include "shell/init_paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "common/encoding.h"
#include "common/paths.h"

namespace quillon {

TAppInfo InitPaths(const std::string& exePath, const std::vector<std::string>& args,
                   const std::string& homeDir) {
  TAppInfo info;
  info.ExePath = exePath;
  info.BaseName = BaseNameWithoutExtension(exePath);
  info.ExeDir = DirectoryPart(exePath);
  info.ProgramDir = info.ExeDir;
  info.IniPath = ReplaceExtension(exePath, ".ini");

  if (!IsWritableDirectory(info.ExeDir) && !homeDir.empty()) {
    const std::string fallback = WithTrailingSlash(homeDir) + ".local/share/quillon/";
    if (MakeDirectories(fallback)) {
      info.ExeDir = fallback;
      info.ProgramDir = fallback;
      info.IniPath = fallback + FileNamePart(info.IniPath);
      info.UsedFallbackDir = true;
    }
  }

  for (const std::string& arg : args) {
    if (arg.size() < 4) continue;
    const std::string word = FoldCase(arg.substr(0, 4));
    const std::string dir = arg.substr(4);
    if (dir.empty()) continue;  // a switch without a directory would point at "/"
    if (word == "/ini") {
      info.IniPath = WithTrailingSlash(dir) + FileNamePart(info.IniPath);
    } else if (word == "/dir") {
      info.ProgramDir = WithTrailingSlash(dir);
    }
  }
  return info;
}

void BuildPortLogFiles(const TAppInfo& info, TGlobalApp& global) {
  for (int n = 1; n <= kPortCount; ++n) {
    global.PortLogFile[n] = info.ProgramDir + info.BaseName + "_com" + std::to_string(n) + ".log";
  }
}

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
    return pw->pw_dir;
  }
  return {};
}

}  // namespace quillon
