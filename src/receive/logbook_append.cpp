#include "receive/logbook_append.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/file_io.h"
#include "common/format.h"
#include "common/texts.h"
#include "receive/logbook_file.h"

namespace quillon {
namespace {

bool HasWriteBits(const struct stat& st) { return (st.st_mode & 0222) != 0; }

// Writes all of `bytes`; a line written only in part is cut back to `sizeBefore`.
bool WriteWhole(int fd, const std::string& bytes, off_t sizeBefore) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (done > 0 && ftruncate(fd, sizeBefore) != 0) {
        // Not even that: the next line then continues the broken one.
      }
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool IsRegularFileOrMissing(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT;
  return S_ISREG(st.st_mode);
}

bool AppendToRegularFile(const std::string& path, const std::string& bytes) {
  // Checked before the open too, so that no device is ever opened; O_NOFOLLOW and the fstat
  // catch a name swapped in between. Non-blocking, so a FIFO never waits for a reader.
  if (!IsRegularFileOrMissing(path)) return false;
  const int fd =
      open(path.c_str(),
           O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW, 0666);
  if (fd < 0) return false;
  struct stat st {};
  const bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && HasWriteBits(st) &&
                  WriteWhole(fd, bytes, st.st_size);
  return close(fd) == 0 && ok;
}

void LogbookFiles::LeaveAlone(int port) { ports_[port].leftAlone = true; }

void LogbookFiles::Append(int port, const std::string& line) {
  const std::string& path = global_.PortLogFile[port];
  if (path.empty() || ports_[port].leftAlone) return;
  const std::string bytes = SerializeLogbookFile({line});
  const bool written = AppendToRegularFile(path, bytes);
  if (written) ports_[port].grownBytes += bytes.size();
  Report(port, written);
}

bool LogbookFiles::RewriteDue(int port) const {
  return ports_[port].grownBytes > kLogbookFileGrowthBytes;
}

void LogbookFiles::Rewrite(int port, const std::vector<std::string>& lines) {
  const std::string& path = global_.PortLogFile[port];
  if (path.empty() || ports_[port].leftAlone) return;
  // Restarted even when the rewrite fails, so that a file that cannot be replaced is tried
  // again only after the next stretch of growth, not on every line.
  ports_[port].grownBytes = 0;
  // WriteFileAtomically follows a symbolic link; the logbook never does.
  Report(port,
         IsRegularFileOrMissing(path) && WriteFileAtomically(path, SerializeLogbookFile(lines)));
}

void LogbookFiles::Report(int port, bool written) {
  PortFile& file = ports_[port];
  if (written) {
    file.failureShown = false;
  } else if (!file.failureShown) {
    file.failureShown = true;
    ui_.ShowMessage(MessageKind::Error, Format(txt::kLogbookSaveFailed, global_.PortLogFile[port]));
  }
}

}  // namespace quillon
