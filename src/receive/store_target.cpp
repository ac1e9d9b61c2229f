#include "receive/store_target.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "common/file_io.h"
#include "common/paths.h"

namespace quillon {
namespace {

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// Checked before the file is opened (and possibly emptied).
const std::string& Writable(const std::string& name, const std::string& source) {
  if (!IsWritablePath(name)) throw std::system_error(EACCES, std::generic_category(), name);
  if (!source.empty() && SameFile(name, source)) {
    throw std::system_error(EINVAL, std::generic_category(), name);
  }
  return name;
}

// A new directory entry survives a crash only once its directory is synced.
bool SyncDirectoryOf(const std::string& name) {
  const int fd = open(DirectoryPart(name).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = fsync(fd) == 0;
  close(fd);
  return ok;
}

}  // namespace

StoreTarget::StoreTarget(const std::string& name, bool append, const std::string& source)
    : name_(name), file_(Writable(name, source), !append), created_(!append || file_.sizeAtOpen == 0) {
}

bool StoreTarget::AppendWhole(const std::string& source, bool deleteSource) {
  if (!PathExists(source) || !file_.AppendFile(source, false) || !file_.Flush() ||
      (created_ && !SyncDirectoryOf(name_))) {
    Restore();
    return false;
  }
  if (deleteSource && unlink(source.c_str()) != 0) {
    Restore();
    return false;
  }
  return true;
}

void StoreTarget::Restore() {
  // The lock is ours, so no other writer can have touched the file meanwhile.
  if (truncate(name_.c_str(), static_cast<off_t>(file_.sizeAtOpen)) == 0) (void)file_.Flush();
}

}  // namespace quillon
