#include "serial/com_remap.h"

#include <cctype>
#include <mutex>

#include "common/ini_file.h"
#include "common/paths.h"

namespace quillon {
namespace {

std::mutex g_remap_mutex;
std::string g_remap_dir;  // empty: the program's directory

}  // namespace

std::string ComRemapDirectory() {
  std::lock_guard lock(g_remap_mutex);
  if (g_remap_dir.empty()) g_remap_dir = DirectoryPart(ExecutablePath("quillon"));
  return g_remap_dir;
}

void SetComRemapDirectory(const std::string& dir) {
  std::lock_guard lock(g_remap_mutex);
  g_remap_dir = WithTrailingSlash(dir);
}

std::string RemapKeyOf(const std::string& portName) {
  return portName.substr(0, portName.find(':'));
}

std::optional<std::string> RemapEntry(const std::string& exeDir, const std::string& portName) {
  const IniFile remap(exeDir + kComRemapFile);
  std::string value = remap.ReadString("Remap", RemapKeyOf(portName), "");
  if (value.empty()) return std::nullopt;
  return value;
}

int PortNumberOf(const std::string& portName) {
  std::string key = RemapKeyOf(portName);
  if (key.size() <= 3) return 0;
  int n = 0;
  for (size_t i = 3; i < key.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(key[i]))) return 0;
    n = n * 10 + (key[i] - '0');
    if (n > 9999) return 0;
  }
  return n;
}

std::string DevicePathForPort(const std::string& exeDir, const std::string& portName) {
  if (auto value = RemapEntry(exeDir, portName)) {
    return (*value)[0] == '/' ? *value : "/dev/" + *value;
  }
  const int n = PortNumberOf(portName);
  if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
  // Not a COM name: the name itself is the device.
  return portName[0] == '/' ? portName : "/dev/" + RemapKeyOf(portName);
}

}  // namespace quillon
