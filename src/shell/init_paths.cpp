#include "shell/init_paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <string_view>

#include "common/encoding.h"
#include "common/paths.h"
#include "serial/com_remap.h"

namespace quillon {
namespace {

// Directories of installed programs: never a place for settings or logbooks, even for root.
bool IsSystemProgramDirectory(const std::string& dir) {
  constexpr std::array<std::string_view, 3> kSystemPrefixes = {"/usr/", "/bin/", "/sbin/"};
  for (std::string_view prefix : kSystemPrefixes) {
    if (dir.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Moves the settings file and everything kept beside it to `dir`.
void UseDataDirectory(TAppInfo& info, const std::string& dir) {
  info.ExeDir = dir;
  info.ProgramDir = dir;
  info.IniPath = dir + FileNamePart(info.IniPath);
}

}  // namespace

TAppInfo InitPaths(const std::string& exePath, const std::vector<std::string>& args,
                   const std::string& homeDir, const std::string& dataDir) {
  TAppInfo info;
  info.ExePath = exePath;
  info.BaseName = BaseNameWithoutExtension(exePath);
  info.ExeDir = DirectoryPart(exePath);
  info.ProgramDir = info.ExeDir;
  info.IniPath = ReplaceExtension(exePath, ".ini");

  const bool portable = FileExists(info.IniPath) && IsWritableDirectory(info.ExeDir);
  if (portable) {
    // everything stays beside the program
  } else if (!dataDir.empty()) {
    const std::string dir = WithTrailingSlash(dataDir);
    (void)MakeDirectories(dir);  // a directory that cannot be made shows in the first write
    UseDataDirectory(info, dir);
  } else if ((IsSystemProgramDirectory(info.ExeDir) || !IsWritableDirectory(info.ExeDir)) &&
             !homeDir.empty()) {
    const std::string fallback = WithTrailingSlash(homeDir) + ".local/share/quillon/";
    if (MakeDirectories(fallback)) {
      UseDataDirectory(info, fallback);
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

std::string ComRemapDirectoryFor(const TAppInfo& info) {
  return FileExists(info.ExeDir + kComRemapFile) ? info.ExeDir : DirectoryPart(info.ExePath);
}

std::string DataDirFromEnvironment() {
  const char* dir = std::getenv(kDataDirVariable);
  return dir != nullptr ? dir : "";
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
