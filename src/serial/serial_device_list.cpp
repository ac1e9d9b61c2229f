#include "serial/serial_device_list.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "common/file_io.h"

namespace quillon {

std::vector<std::string> SystemSerialDevices(const std::string& sysClassTty) {
  std::vector<std::string> out;
  DIR* dir = opendir(sysClassTty.c_str());
  if (dir == nullptr) return out;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string base = sysClassTty + "/" + name;
    struct stat st {};
    if (stat((base + "/device").c_str(), &st) != 0) continue;
    if (name.rfind("ttyS", 0) == 0) {
      // Legacy UART slots exist whether or not hardware sits behind them; "type" 0 means none.
      const auto type = ReadWholeFile(base + "/type");
      if (type && std::atoi(type->c_str()) == 0) continue;
    }
    out.push_back("/dev/" + name);
  }
  closedir(dir);
  std::sort(out.begin(), out.end());
  return out;
}

bool DeviceOpensAsSerialLine(const std::string& devicePath) {
  const int fd = open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  termios tio{};
  const bool ok = tcgetattr(fd, &tio) == 0;
  close(fd);
  return ok;
}

}  // namespace quillon
