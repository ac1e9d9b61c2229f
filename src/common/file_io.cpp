#include "common/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>
#include <vector>

namespace quillon {
namespace {

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Links followed one after the other before a chain counts as a loop (the kernel's own limit).
constexpr int kMaxLinkHops = 40;

// The name a chain of symbolic links ends at, the last link's target when that does not exist
// yet. Nothing (errno ELOOP) for a loop or a chain too long, or errno from readlink.
std::optional<std::string> ResolveLinks(const std::string& path) {
  std::string current = path;
  char buf[PATH_MAX];
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    const ssize_t n = readlink(current.c_str(), buf, sizeof buf);
    if (n < 0) {
      // Not a link, or nothing of that name: the chain ends here.
      if (errno == EINVAL || errno == ENOENT) return current;
      return std::nullopt;
    }
    if (static_cast<size_t>(n) == sizeof buf) {
      errno = ENAMETOOLONG;
      return std::nullopt;
    }
    std::string target(buf, static_cast<size_t>(n));
    if (target.empty() || target[0] != '/') target = DirectoryOf(current) + "/" + target;
    current = std::move(target);
  }
  errno = ELOOP;
  return std::nullopt;
}

bool IsRegular(const struct stat& st) { return S_ISREG(st.st_mode); }

// Fills `st` for an open file; false with errno EINVAL when it is not a regular file. Checked on
// the descriptor, as the name may have been replaced since it was looked at.
bool StatRegular(int fd, struct stat& st) {
  if (fstat(fd, &st) != 0) return false;
  if (IsRegular(st)) return true;
  errno = EINVAL;
  return false;
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
  // Non-blocking, so that a FIFO put there since the check cannot hold the write up.
  const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = StatRegular(fd, st) && fcntl(fd, F_SETFL, 0) == 0 && WriteAll(fd, bytes) &&
            ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && fsync(fd) == 0;
  const int saved = errno;
  close(fd);
  errno = saved;
  return ok;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path, size_t maxBytes) {
  // A FIFO or a device is refused before it is opened: opening one may block or have effects.
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  if (!IsRegular(st)) {
    errno = EINVAL;
    return std::nullopt;
  }
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  const auto fail = [fd](int error) -> std::optional<std::string> {
    close(fd);
    errno = error;
    return std::nullopt;
  };
  if (!StatRegular(fd, st)) return fail(errno);
  if (static_cast<unsigned long long>(st.st_size) > maxBytes) return fail(EFBIG);
  std::string out;
  char buf[65536];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    if (n == 0) break;
    if (out.size() + static_cast<size_t>(n) > maxBytes) return fail(EFBIG);
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
  const auto real = ResolveLinks(path);
  if (!real) return false;
  struct stat st {};
  if (stat(real->c_str(), &st) == 0) {
    return IsRegular(st) && HasWriteBits(st) && access(real->c_str(), W_OK) == 0;
  }
  if (errno != ENOENT) return false;
  const std::string dir = DirectoryOf(*real);
  return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && HasWriteBits(st) &&
         access(dir.c_str(), W_OK) == 0;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
  const auto resolved = ResolveLinks(path);
  if (!resolved) return false;
  const std::string& real = *resolved;
  struct stat old {};
  const bool exists = stat(real.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return false;
  if (exists && !IsRegular(old)) {
    errno = EINVAL;
    return false;
  }
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
