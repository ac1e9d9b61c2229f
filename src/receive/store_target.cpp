#include "receive/store_target.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <system_error>

#include "common/file_io.h"
#include "common/paths.h"

namespace quillon {
namespace {

// The file a name stands for: a symbolic link is replaced by its target, so that renaming a
// new file over it never turns the link into a file of its own.
std::string RealName(const std::string& name) {
  std::unique_ptr<char, decltype(&free)> real(realpath(name.c_str(), nullptr), &free);
  return real ? std::string(real.get()) : name;
}

// Checked before the file is opened (and possibly created).
const std::string& Writable(const std::string& name, const TOrvFile32& source) {
  if (!IsWritablePath(name)) throw std::system_error(EACCES, std::generic_category(), name);
  if (source.IsNamed(name)) throw std::system_error(EINVAL, std::generic_category(), name);
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

mode_t PermissionsOf(const std::string& name) {
  struct stat st {};
  return stat(name.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
}

}  // namespace

StoreTarget::StoreTarget(const std::string& name, Mode mode, const TOrvFile32& source)
    : name_(RealName(name)),
      mode_(mode),
      file_(Writable(name_, source), false),
      created_(file_.sizeAtOpen == 0) {}

bool StoreTarget::StoreWhole(TOrvFile32& source) {
  if (source.Size() == 0) return true;
  return mode_ == Mode::kAppend ? Append(source) : Replace(source);
}

bool StoreTarget::Append(TOrvFile32& source) {
  if (!file_.AppendFrom(source) || !file_.Flush() || (created_ && !SyncDirectoryOf(name_))) {
    Restore();
    return false;
  }
  return true;
}

bool StoreTarget::Replace(TOrvFile32& source) {
  // The old file stays locked meanwhile, so no other port writes it or replaces it at the same
  // time. A file of ours that is empty (it was missing) is deleted when `file_` goes.
  std::unique_ptr<TOrvFile32> fresh;
  try {
    fresh = TOrvFile32::CreateUnique(DirectoryPart(name_) + "." + FileNamePart(name_) + ".",
                                     PermissionsOf(name_));
  } catch (const std::system_error&) {
    return false;
  }
  if (!fresh->AppendFrom(source) || !fresh->Flush() ||
      rename(fresh->fileName.c_str(), name_.c_str()) != 0) {
    unlink(fresh->fileName.c_str());
    return false;
  }
  fresh->fileName = name_;
  return SyncDirectoryOf(name_);
}

void StoreTarget::Restore() {
  // The lock is ours, so no other writer can have touched the file meanwhile.
  if (truncate(name_.c_str(), static_cast<off_t>(file_.sizeAtOpen)) == 0) (void)file_.Flush();
}

}  // namespace quillon
