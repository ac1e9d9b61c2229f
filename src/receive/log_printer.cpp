#include "receive/log_printer.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "common/encoding.h"
#include "common/format.h"

namespace quillon {

void LogPrinter::Print(TGlobalApp& global, const std::string& line) const {
  const int printer = global.LogPrinter;
  if (printer < 1 || printer > 3) return;
  const std::string device = Format(devicePattern.c_str(), printer - 1);
  const std::string bytes = Utf8ToCp1252(line) + "\r\n";

  std::lock_guard lock(global.PrinterLock);
  const int fd = open(device.c_str(), O_RDWR | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // busy or failed: the rest of the line is given up
      done += static_cast<size_t>(n);
    }
  }
  close(fd);
}

}  // namespace quillon
