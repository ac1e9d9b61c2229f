#include "common/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

namespace quillon {
namespace {

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string ResolveLinks(const std::string& path) {
  char buf[PATH_MAX];
  for (int depth = 0; depth < 16; ++depth) {
    const ssize_t n = readlink(path.c_str(), buf, sizeof buf - 1);
    if (n < 0) return path;
    std::string target(buf, static_cast<size_t>(n));
    if (target.empty() || target[0] != '/') target = DirectoryOf(path) + "/" + target;
    if (target == path) return path;
    return ResolveLinks(target);
  }
  return path;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool HasWriteBits(const struct stat& st) { return (st.st_mode & 0222) != 0; }

bool RewriteInPlace(const std::string& path, const std::string& bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes) && ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 &&
            fsync(fd) == 0;
  const int saved = errno;
  close(fd);
  errno = saved;
  return ok;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string out;
  char buf[65536];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int saved = errno;
      close(fd);
      errno = saved;
      return std::nullopt;
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return out;
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

bool IsWritablePath(const std::string& path) {
  const std::string real = ResolveLinks(path);
  struct stat st {};
  if (stat(real.c_str(), &st) == 0) {
    return !S_ISDIR(st.st_mode) && HasWriteBits(st) && access(real.c_str(), W_OK) == 0;
  }
  const std::string dir = DirectoryOf(real);
  return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && HasWriteBits(st) &&
         access(dir.c_str(), W_OK) == 0;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
  const std::string real = ResolveLinks(path);
  struct stat old {};
  const bool exists = stat(real.c_str(), &old) == 0;
  if (!IsWritablePath(real)) {
    struct stat dir {};
    errno = stat(DirectoryOf(real).c_str(), &dir) == 0 ? EACCES : ENOENT;
    return false;
  }
  const std::string dir = DirectoryOf(real);
  const auto slash = real.rfind('/');
  const std::string base = slash == std::string::npos ? real : real.substr(slash + 1);
  std::string tmpl = dir + "/." + base + ".XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  const int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    // A directory we may not create files in, holding a file we may write: rewrite in place.
    if (exists && (errno == EACCES || errno == EPERM || errno == EROFS)) {
      return RewriteInPlace(real, bytes);
    }
    return false;
  }
  const mode_t mode = exists ? (old.st_mode & 07777) : 0644;
  bool ok = WriteAll(fd, bytes) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
  int saved = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && rename(name.data(), real.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    unlink(name.data());
    errno = saved;
    return false;
  }
  const int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return true;
}

}  // namespace quillon
