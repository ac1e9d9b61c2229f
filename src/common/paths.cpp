#include "common/paths.h"

#include <limits.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "common/file_io.h"

namespace quillon {

std::string ExecutablePath(const std::string& fallback) {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return AbsolutePath(fallback);
  return std::string(buf, static_cast<size_t>(n));
}

std::string DirectoryPart(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return "./";
  return path.substr(0, slash + 1);
}

std::string FileNamePart(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string BaseNameWithoutExtension(const std::string& path) {
  const std::string name = FileNamePart(path);
  const auto dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string ReplaceExtension(const std::string& path, const std::string& ext) {
  return DirectoryPart(path).append(BaseNameWithoutExtension(path)).append(ext);
}

std::string WithTrailingSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  auto abs = std::filesystem::absolute(path, ec);
  if (ec) return path;
  return abs.lexically_normal().string();
}

bool MakeDirectories(const std::string& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return std::filesystem::is_directory(dir, ec);
}

bool IsWritableDirectory(const std::string& dir) {
  std::error_code ec;
  return std::filesystem::is_directory(dir, ec) &&
         IsWritablePath(WithTrailingSlash(dir) + ".quillon-write-test");
}

}  // namespace quillon
