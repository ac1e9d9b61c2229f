#include "serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <fstream>

namespace sollex {
namespace {

using Clock = std::chrono::steady_clock;

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

bool SameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

speed_t SpeedOf(int baud) {
  switch (baud) {
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
    default:
      return B0;
  }
}

int RemainingMs(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(left);
}

}  // namespace

std::string DevicePath(int port, const std::string& remapFile) {
  const std::string key = "COM" + std::to_string(port);
  std::ifstream in(remapFile);
  std::string line;
  bool inRemap = false;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[') {
      inRemap = line.back() == ']' && SameNoCase(line.substr(1, line.size() - 2), "Remap");
      continue;
    }
    const auto eq = line.find('=');
    if (!inRemap || eq == std::string::npos || !SameNoCase(Trim(line.substr(0, eq)), key)) continue;
    const std::string value = Trim(line.substr(eq + 1));
    if (value.empty()) break;
    return value[0] == '/' ? value : "/dev/" + value;
  }
  return "/dev/ttyS" + std::to_string(port - 1);
}

std::string DefaultRemapFile() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string beside = "ComRemap.ini";
  if (n > 0) {
    std::string exe(buffer, static_cast<std::size_t>(n));
    beside = exe.substr(0, exe.rfind('/') + 1) + beside;
  }
  if (access(beside.c_str(), F_OK) == 0) return beside;
  // An installed program's directory holds no remap file: the user's one lies beside the
  // program's other choices.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  std::string folder;
  if (config != nullptr && *config == '/') {
    folder = config;
  } else if (home != nullptr && *home != '\0') {
    folder = std::string(home) + "/.config";
  }
  const std::string user = folder + "/VARDA/ComRemap.ini";
  if (!folder.empty() && access(user.c_str(), F_OK) == 0) return user;
  return beside;
}

SerialPort::~SerialPort() { Close(); }

bool SerialPort::Fail(int error) {
  lastError_ = error;
  Close();
  return false;
}

bool SerialPort::Open(int port, int baud, Parity parity, int dataBits, int stopBits,
                      int timeoutMs) {
  Close();
  if (port < 1 || port > 8) return false;
  const std::string device = DevicePath(port, remapFile_.empty() ? DefaultRemapFile() : remapFile_);
  fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) return Fail(errno);
  // Exclusive: a second uploader (or anyone else honouring the lock) is refused.
  if (flock(fd_, LOCK_EX | LOCK_NB) != 0) return Fail(errno == EWOULDBLOCK ? EBUSY : errno);
  termios tio{};
  if (tcgetattr(fd_, &tio) != 0) return Fail(errno);
  // Programs that know nothing of flock are kept out by the tty's own exclusive mode.
  exclusive_ = ioctl(fd_, TIOCEXCL) == 0;
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  tio.c_cflag |= dataBits == 7 ? CS7 : dataBits == 6 ? CS6 : dataBits == 5 ? CS5 : CS8;
  switch (parity) {
    case Parity::kNone:
      break;
    case Parity::kOdd:
      tio.c_cflag |= PARENB | PARODD;
      break;
    case Parity::kEven:
      tio.c_cflag |= PARENB;
      break;
    case Parity::kMark:
      tio.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case Parity::kSpace:
      tio.c_cflag |= PARENB | CMSPAR;
      break;
  }
  if (stopBits != 0) tio.c_cflag |= CSTOPB;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY | ISTRIP);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  const speed_t speed = SpeedOf(baud);
  if (speed == B0) return Fail(EINVAL);
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
  if (tcsetattr(fd_, TCSANOW, &tio) != 0) return Fail(errno);
  tcflush(fd_, TCIOFLUSH);
  port_ = port;
  baud_ = baud;
  timeoutMs_ = timeoutMs;
  lastError_ = 0;
  return true;
}

bool SerialPort::SetBaud(int baud) {
  if (fd_ < 0) return false;
  termios tio{};
  const speed_t speed = SpeedOf(baud);
  if (speed == B0) {
    lastError_ = EINVAL;
    return false;
  }
  if (tcgetattr(fd_, &tio) != 0 || cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0 ||
      tcsetattr(fd_, TCSADRAIN, &tio) != 0) {
    lastError_ = errno;
    return false;
  }
  baud_ = baud;
  return true;
}

bool SerialPort::WriteBlock(const char* data, std::size_t length) {
  if (fd_ < 0) {
    lastError_ = EBADF;
    return false;
  }
  if (length == 0 || data[0] == '\0') return false;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs_) +
                        std::chrono::milliseconds(length * 20000 / (baud_ > 0 ? baud_ : 9600));
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = ::write(fd_, data + done, length - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      lastError_ = errno;
      return false;
    }
    pollfd p{fd_, POLLOUT, 0};
    const int left = RemainingMs(deadline);
    if (left == 0 || poll(&p, 1, left) <= 0 || (p.revents & (POLLERR | POLLHUP))) {
      lastError_ = ETIMEDOUT;
      return false;
    }
  }
  return true;
}

std::uint8_t SerialPort::ReadByte() {
  char c = 0;
  return ReadAvailable(&c, 1, timeoutMs_) == 1 ? static_cast<std::uint8_t>(c) : 255;
}

std::size_t SerialPort::ReadBlock(char* buffer, std::size_t maxCount) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs_);
  std::size_t count = 0;
  while (count < maxCount) {
    const std::size_t n = ReadAvailable(buffer + count, maxCount - count, RemainingMs(deadline));
    if (n == 0) break;
    count += n;
  }
  return count;
}

std::size_t SerialPort::ReadAvailable(char* buffer, std::size_t maxCount, int timeoutMs) {
  if (fd_ < 0 || maxCount == 0) return 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, maxCount);
    if (n > 0) return static_cast<std::size_t>(n);
    if (n < 0 && errno == EINTR) continue;
    const int left = RemainingMs(deadline);
    if (left == 0) return 0;
    // A negative descriptor (no wake descriptor) is left alone by poll().
    pollfd p[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    const int r = poll(p, 2, left);
    if (r == 0) return 0;
    if (r < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    if (p[1].revents & POLLIN) return 0;
    if ((p[0].revents & (POLLHUP | POLLERR)) && !(p[0].revents & POLLIN)) {
      // A pty whose other side is gone reports the hang-up at once and for good: wait out the
      // time like a silent line, looking at the line again now and then in case it comes back.
      pollfd wake{wakeFd_, POLLIN, 0};
      if (poll(&wake, 1, std::min(left, 10)) > 0 && (wake.revents & POLLIN)) return 0;
    }
  }
}

void SerialPort::Close() {
  if (fd_ >= 0) {
    // The mode belongs to the device: left set it would lock out the next program.
    if (exclusive_) (void)ioctl(fd_, TIOCNXCL);
    exclusive_ = false;
    ::close(fd_);
    fd_ = -1;
  }
}

}  // namespace sollex
