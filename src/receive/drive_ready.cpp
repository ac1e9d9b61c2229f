#include "receive/drive_ready.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quillon {
namespace {

std::string Normalised(const std::string& path) {
  return std::filesystem::path(path).lexically_normal().string();
}

std::string ParentOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return path.substr(0, slash);
}

// The nearest ancestor of an absolute path (the path itself included) that exists. Missing
// components and directories we may not look into are passed over; any other failure
// (a stale network mount, an I/O error) leaves nothing.
bool NearestExisting(const std::string& absolute, std::string& found) {
  std::string at = Normalised(absolute);
  while (at.size() > 1 && at.back() == '/') at.pop_back();
  for (;;) {
    struct stat st {};
    if (stat(at.c_str(), &st) == 0) {
      found = at;
      return true;
    }
    if (errno != ENOENT && errno != ENOTDIR && errno != EACCES) return false;
    if (at == "/") return false;
    at = ParentOf(at);
  }
}

// Mount point fields of /proc/self/mountinfo escape blanks and a few others as \ooo.
std::string Unescape(const std::string& field) {
  const auto octal = [](char c) { return c >= '0' && c <= '7'; };
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2]) &&
        octal(field[i + 3])) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                               (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

bool IsUnder(const std::string& path, const std::string& mountPoint) {
  if (mountPoint == "/") return true;
  return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
         (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

// The longest mount point that holds `path` (a resolved absolute path).
std::string MountPointOf(const std::string& path) {
  std::ifstream in("/proc/self/mountinfo");
  std::string best = "/";
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parent, device, root, mountPoint;
    if (!(fields >> id >> parent >> device >> root >> mountPoint)) continue;
    mountPoint = Unescape(mountPoint);
    if (mountPoint.size() > best.size() && IsUnder(path, mountPoint)) best = mountPoint;
  }
  return best;
}

}  // namespace

bool DriveReady(const std::string& path) {
  if (path.empty() || path[0] != '/') return false;
  std::string existing;
  if (!NearestExisting(path, existing)) return false;
  struct statvfs fs {};
  return statvfs(existing.c_str(), &fs) == 0;
}

std::string DriveOf(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;  // no file system to name: the path says most
  std::string existing;
  if (!NearestExisting(path, existing)) existing = Normalised(path);
  char resolved[PATH_MAX];
  if (realpath(existing.c_str(), resolved) != nullptr) existing = resolved;
  return MountPointOf(existing);
}

}  // namespace quillon
