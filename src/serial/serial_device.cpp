#include "serial/serial_device.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace quillon {
namespace {

speed_t SpeedOf(int baud) {
  switch (baud) {
    case 300:
      return B300;
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    default:
      return 0;
  }
}

SerialDevice::Wait WaitFor(int fd, short events, int ms, int wakeA, int wakeB) {
  pollfd fds[3] = {{fd, events, 0}, {wakeA, POLLIN, 0}, {wakeB, POLLIN, 0}};
  for (;;) {
    const int n = poll(fds, 3, ms < 0 ? -1 : ms);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) return SerialDevice::Wait::Timeout;
    if (n < 0) return SerialDevice::Wait::HangUp;
    if ((fds[1].revents | fds[2].revents) & POLLIN) return SerialDevice::Wait::Woken;
    if (fds[0].revents & events) return SerialDevice::Wait::Ready;
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return SerialDevice::Wait::HangUp;
    return SerialDevice::Wait::Ready;
  }
}

}  // namespace

void SleepUnlessWoken(int ms, int wakeA, int wakeB) {
  pollfd fds[2] = {{wakeA, POLLIN, 0}, {wakeB, POLLIN, 0}};
  poll(fds, 2, ms);
}

SerialDevice::~SerialDevice() { Close(); }

bool SerialDevice::HungUp() const {
  if (fd_ < 0) return true;
  pollfd fds{fd_, POLLIN, 0};
  if (poll(&fds, 1, 0) < 0) return false;
  return (fds.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool SerialDevice::Open(const std::string& path) {
  if (fd_ >= 0) return false;
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  termios tio{};
  if (tcgetattr(fd, &tio) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int saved = errno;
    close(fd);
    errno = saved;
    return false;
  }
  // flock only binds programs that ask for it; the tty's own exclusive mode makes every other
  // open of the line fail with EBUSY (root aside). A device without it still works.
  exclusive_ = ioctl(fd, TIOCEXCL) == 0;
  fd_ = fd;
  pos_ = len_ = 0;
  has_icount_ = true;
  TakeLineError();  // start counting from now
  return true;
}

bool SerialDevice::Configure(const LineParams& p) {
  if (fd_ < 0) return false;
  const speed_t speed = SpeedOf(p.baud);
  if (speed == 0 || (p.dataBits < 5 || p.dataBits > 8) || p.parity < 0 || p.parity > 4 ||
      (p.stopBits != 1 && p.stopBits != 2)) {
    errno = EINVAL;
    return false;
  }
  termios tio{};
  if (tcgetattr(fd_, &tio) != 0) return false;
  cfmakeraw(&tio);
  tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP | IGNPAR | PARMRK);
  tio.c_lflag &= ~IEXTEN;
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  tio.c_cflag |= CLOCAL | CREAD;
  // A close never drops DTR by itself: the line changes hands during a call (to a transfer and
  // back) and a modem would hang up. The program hangs up on purpose where it means to.
  tio.c_cflag &= ~HUPCL;
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  tio.c_cflag |= kSizes[p.dataBits - 5];
  switch (p.parity) {
    case 1:
      tio.c_cflag |= PARENB | PARODD;
      break;
    case 2:
      tio.c_cflag |= PARENB;
      break;
    case 3:
      tio.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case 4:
      tio.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  if (p.stopBits == 2) tio.c_cflag |= CSTOPB;
  // VMIN 1 makes an empty non-blocking read say EAGAIN, so that a read of 0 bytes means the
  // line hung up.
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
  // Success is what tcsetattr says: a pseudo-terminal accepts and quietly drops what it lacks.
  if (tcsetattr(fd_, TCSANOW, &tio) != 0) return false;
  int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd_, TIOCMBIS, &lines);  // fails harmlessly on lines without modem control
  return true;
}

bool DropDtr(const std::string& path) {
  SerialDevice device;
  if (!device.Open(path)) return false;
  int dtr = TIOCM_DTR;
  const bool dropped = ioctl(device.fd(), TIOCMBIC, &dtr) == 0;
  (void)device.Close();
  return dropped;
}

bool SerialDevice::Close() {
  if (fd_ < 0) return true;
  const int fd = fd_;
  fd_ = -1;
  pos_ = len_ = 0;
  // The mode belongs to the device, not to this descriptor: left set, it would lock out the
  // next program that wants the line (a pty stays with it until its last close).
  if (exclusive_) (void)ioctl(fd, TIOCNXCL);
  exclusive_ = false;
  return close(fd) == 0;
}

int SerialDevice::Fill() {
  if (fd_ < 0) return -1;
  pos_ = len_ = 0;
  for (;;) {
    const ssize_t n = read(fd_, buffer_, sizeof buffer_);
    if (n > 0) {
      len_ = static_cast<size_t>(n);
      return static_cast<int>(n);
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    return -1;  // 0 bytes from a non-blocking terminal: hang-up; EIO: the other side is gone
  }
}

size_t SerialDevice::InputCount() const {
  int kernel = 0;
  if (fd_ >= 0 && ioctl(fd_, FIONREAD, &kernel) != 0) kernel = 0;
  return Buffered() + static_cast<size_t>(kernel > 0 ? kernel : 0);
}

void SerialDevice::DiscardInput() {
  pos_ = len_ = 0;
  if (fd_ < 0) return;
  tcflush(fd_, TCIFLUSH);
  while (Fill() > 0) {
  }
  pos_ = len_ = 0;
}

SerialDevice::Wait SerialDevice::WaitReadable(int ms, int wakeA, int wakeB) const {
  return WaitFor(fd_, POLLIN, ms, wakeA, wakeB);
}

SerialDevice::Wait SerialDevice::WaitWritable(int ms, int wakeA, int wakeB) const {
  return WaitFor(fd_, POLLOUT, ms, wakeA, wakeB);
}

long SerialDevice::Write(const uint8_t* data, size_t length) {
  if (fd_ < 0) return -1;
  for (;;) {
    const ssize_t n = write(fd_, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    return n;
  }
}

int SerialDevice::OutputCount() const {
  int count = 0;
  if (fd_ < 0 || ioctl(fd_, TIOCOUTQ, &count) != 0) return 0;
  return count;
}

bool SerialDevice::TakeLineError() {
  if (fd_ < 0 || !has_icount_) return false;
  serial_icounter_struct counts{};
  if (ioctl(fd_, TIOCGICOUNT, &counts) != 0) {
    has_icount_ = false;  // pseudo-terminals and some adapters keep no counters
    return false;
  }
  const bool error = counts.frame != frame_ || counts.overrun != overrun_ ||
                     counts.buf_overrun != buf_overrun_ || counts.brk != brk_;
  frame_ = counts.frame;
  overrun_ = counts.overrun;
  buf_overrun_ = counts.buf_overrun;
  brk_ = counts.brk;
  return error;
}

}  // namespace quillon
