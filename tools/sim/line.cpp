#include "line.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "stop.h"

namespace sim {
namespace {

// Milliseconds from now until `deadline`, as a timespec for ppoll(); zero when it has passed.
timespec Remaining(Clock::time_point deadline) {
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return timespec{0, 0};
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
  return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

// Sleeps `ms` unless a stop signal arrives first.
void Pause(int ms) {
  const timespec ts{ms / 1000, (ms % 1000) * 1000000L};
  ppoll(nullptr, 0, &ts, WaitMask());
}

bool SpeedFor(int baud, speed_t& speed) {
  static const struct {
    int baud;
    speed_t speed;
  } kSpeeds[] = {{300, B300},     {600, B600},       {1200, B1200},    {2400, B2400},
                 {4800, B4800},   {9600, B9600},     {19200, B19200},  {38400, B38400},
                 {57600, B57600}, {115200, B115200}, {230400, B230400}};
  for (const auto& s : kSpeeds) {
    if (s.baud == baud) {
      speed = s.speed;
      return true;
    }
  }
  return false;
}

int BaudOf(speed_t speed) {
  static const struct {
    speed_t speed;
    int baud;
  } kRates[] = {{B300, 300},     {B600, 600},       {B1200, 1200},    {B2400, 2400},
                {B4800, 4800},   {B9600, 9600},     {B19200, 19200},  {B38400, 38400},
                {B57600, 57600}, {B115200, 115200}, {B230400, 230400}};
  for (const auto& r : kRates) {
    if (r.speed == speed) return r.baud;
  }
  return 0;
}

}  // namespace

std::string Describe(Io io) {
  switch (io) {
    case Io::kOk:
      return "kein Fehler";
    case Io::kTimeout:
      return "Zeitüberschreitung auf der Leitung";
    case Io::kClosed:
      return "die Gegenseite hat die Leitung geschlossen";
    case Io::kStopped:
      return "durch Signal abgebrochen";
    case Io::kError:
      break;
  }
  return std::string("Ein-/Ausgabefehler auf der Leitung: ") + std::strerror(errno);
}

Line::~Line() {
  if (fd_ >= 0) close(fd_);
}

bool Line::OpenPty(std::string& error) {
  termios raw{};
  cfmakeraw(&raw);
  raw.c_cflag |= CLOCAL | CREAD;
  int slave = -1;
  char name[256] = {};
  // The slave starts raw: a receiver that opens it a moment before setting its own mode must not
  // see our bytes echoed back or CR turned into LF.
  if (openpty(&fd_, &slave, name, &raw, nullptr) != 0) {
    error = std::string("Pseudo-Terminal kann nicht angelegt werden: ") + std::strerror(errno);
    return false;
  }
  termios tio{};
  tcgetattr(fd_, &tio);
  cfmakeraw(&tio);
  tcsetattr(fd_, TCSANOW, &tio);
  // The receiver opens the line by its path; our own handle on the slave can go.
  close(slave);
  fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
  fcntl(fd_, F_SETFD, FD_CLOEXEC);
  pty_ = true;
  path_ = name;
  return true;
}

void Line::SetBaud(int baud) {
  speed_t speed = B9600;
  termios tio{};
  if (fd_ < 0 || !SpeedFor(baud, speed) || tcgetattr(fd_, &tio) != 0) return;
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
  tcsetattr(fd_, TCSADRAIN, &tio);
}

int Line::RateHeard() const {
  termios tio{};
  if (fd_ < 0 || tcgetattr(fd_, &tio) != 0) return 0;
  return BaudOf(cfgetospeed(&tio));
}

bool Line::OpenDevice(const std::string& path, int baud, std::string& error) {
  speed_t speed = B9600;
  if (!SpeedFor(baud, speed)) {
    error = "Baudrate " + std::to_string(baud) + " wird nicht unterstützt";
    return false;
  }
  fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    error = "Gerät " + path + " kann nicht geöffnet werden: " + std::strerror(errno);
    return false;
  }
  termios tio{};
  if (tcgetattr(fd_, &tio) != 0) {
    error = "Gerät " + path + " ist keine serielle Schnittstelle: " + std::strerror(errno);
    return false;
  }
  cfmakeraw(&tio);
  tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
  if (tcsetattr(fd_, TCSANOW, &tio) != 0) {
    error = "Gerät " + path + " lässt sich nicht einstellen: " + std::strerror(errno);
    return false;
  }
  tcflush(fd_, TCIOFLUSH);
  path_ = path;
  return true;
}

Io Line::WaitForPeer(int timeoutMs) {
  if (!pty_) return Io::kOk;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    // While nobody has the slave open the master reports a hang-up. A peer that has come and
    // gone between two looks has left what it wrote, which is still to be read.
    pollfd pfd{fd_, POLLIN, 0};
    if (poll(&pfd, 1, 0) >= 0 && (!(pfd.revents & POLLHUP) || (pfd.revents & POLLIN))) {
      return Io::kOk;
    }
    if (StopRequested()) return Io::kStopped;
    if (Clock::now() >= deadline) return Io::kTimeout;
    Pause(10);
  }
}

Io Line::Write(std::string_view bytes, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!bytes.empty()) {
    const ssize_t n = write(fd_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return errno == EIO ? Io::kClosed : Io::kError;
    if (StopRequested()) return Io::kStopped;
    pollfd pfd{fd_, POLLOUT, 0};
    const timespec left = Remaining(deadline);
    const int r = ppoll(&pfd, 1, &left, WaitMask());
    if (r < 0 && errno != EINTR) return Io::kError;
    if (StopRequested()) return Io::kStopped;
    if (r == 0) return Io::kTimeout;
  }
  return Io::kOk;
}

Io Line::Fill(Clock::time_point deadline) {
  // Wait first and read once the line reports something: an answer costs one ppoll() and one
  // read(), which keeps the measured answer times close to the line's own.
  for (;;) {
    // A signal caught during an earlier wait must not be slept through.
    if (StopRequested()) return Io::kStopped;
    pollfd pfd{fd_, POLLIN, 0};
    const timespec left = Remaining(deadline);
    const bool forever = deadline == Clock::time_point::max();
    const int r = ppoll(&pfd, 1, forever ? nullptr : &left, WaitMask());
    if (r < 0 && errno != EINTR) return Io::kError;
    if (StopRequested()) return Io::kStopped;
    if (r == 0) return Io::kTimeout;
    if (r < 0) continue;
    const ssize_t n = read(fd_, buffer_, sizeof buffer_);
    if (n > 0) {
      begin_ = 0;
      end_ = static_cast<std::size_t>(n);
      return Io::kOk;
    }
    if (n == 0 || (n < 0 && errno == EIO)) return Io::kClosed;
    if (errno != EAGAIN && errno != EINTR) return Io::kError;
  }
}

Io Line::ReadByte(Clock::time_point deadline, std::uint8_t& byte) {
  if (begin_ == end_) {
    const Io io = Fill(deadline);
    if (io != Io::kOk) return io;
  }
  byte = buffer_[begin_++];
  return Io::kOk;
}

void Line::Discard(bool kernelToo) {
  begin_ = end_ = 0;
  if (!kernelToo) return;
  while (read(fd_, buffer_, sizeof buffer_) > 0) {
  }
}

bool Line::PeerHasRead() const {
  // A handle of our own on the other side of the pair: poll() on it first moves over what the
  // kernel still has on its way, then reports whatever the other side has not read yet.
  const int peer = ioctl(fd_, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (peer < 0) return false;
  pollfd pfd{peer, POLLIN, 0};
  const bool unread = poll(&pfd, 1, 0) != 0;
  close(peer);
  return !unread;
}

void Line::Linger(int limitMs, int blindMs) {
  if (!pty_) {
    tcdrain(fd_);
    return;
  }
  const int probe = ioctl(fd_, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  const bool seeing = probe >= 0;
  if (seeing) close(probe);
  const auto deadline = Clock::now() + std::chrono::milliseconds(seeing ? limitMs : blindMs);
  while (!StopRequested()) {
    // Nobody has the line open any more: nothing can be read from it.
    pollfd hup{fd_, 0, 0};
    if (poll(&hup, 1, 0) > 0 && (hup.revents & (POLLHUP | POLLERR))) return;
    if (seeing && PeerHasRead()) return;
    // Drain what arrives meanwhile, looking again every 10 ms.
    pollfd pfd{fd_, POLLIN, 0};
    const auto step = std::min(deadline, Clock::now() + std::chrono::milliseconds(10));
    const timespec left = Remaining(step);
    const int r = ppoll(&pfd, 1, &left, WaitMask());
    if (r == 0 && Clock::now() >= deadline) return;
    if (r > 0 && (pfd.revents & POLLIN) && read(fd_, buffer_, sizeof buffer_) <= 0) return;
  }
}

void Line::Hold() {
  Discard(false);
  while (!StopRequested()) {
    pollfd pfd{fd_, POLLIN, 0};
    const int r = ppoll(&pfd, 1, nullptr, WaitMask());
    if (r <= 0) continue;
    const ssize_t n = (pfd.revents & POLLIN) ? read(fd_, buffer_, sizeof buffer_) : 0;
    if (n > 0) continue;
    // Nobody has the line open right now (hang-up): wait for the next opener.
    if (pfd.revents & (POLLHUP | POLLERR)) Pause(100);
  }
}

}  // namespace sim
