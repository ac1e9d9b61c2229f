// The TCP/IP forwarding of one file over a plain socket: a non-blocking connect waited for in
// short slices (so that the stop flag and the time-out both end it), the file sent in chunks,
// then the close.
#include "network/tcp_send.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace quillon::net {

namespace {

constexpr int kSliceMs = 100;
constexpr int kSendStallMs = 60000;  // a peer that takes nothing for this long has gone
constexpr std::size_t kChunk = 64 * 1024;

using Clock = std::chrono::steady_clock;

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool Close() {
    if (fd_ < 0) return true;
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
  }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }

 private:
  int fd_;
};

// Waits until `fd` is ready for `events`; false on time-out, stop or error.
bool WaitReady(int fd, short events, int timeoutMs, const std::atomic<bool>& stop) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!stop.load()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, events, 0};
    const int rc = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), kSliceMs)));
    if (rc < 0 && errno != EINTR) return false;
    if (rc > 0) return (p.revents & events) != 0 || (p.revents & (POLLERR | POLLHUP)) != 0;
  }
  return false;
}

bool ConnectOne(const addrinfo& ai, int timeoutMs, const std::atomic<bool>& stop, Fd& socketFd) {
  socketFd.Reset(
      ::socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai.ai_protocol));
  if (socketFd.get() < 0) return false;
  if (::connect(socketFd.get(), ai.ai_addr, ai.ai_addrlen) == 0) return true;
  if (errno != EINPROGRESS) return false;
  if (!WaitReady(socketFd.get(), POLLOUT, timeoutMs, stop)) return false;
  int error = 0;
  socklen_t length = sizeof error;
  return ::getsockopt(socketFd.get(), SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

bool Connect(const std::string& address, int port, int timeoutMs, const std::atomic<bool>& stop,
             Fd& socketFd) {
  if (address.empty() || port < 1 || port > 65535) return false;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* list = nullptr;
  if (::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &list) != 0)
    return false;
  bool connected = false;
  for (addrinfo* ai = list; ai && !connected && !stop.load(); ai = ai->ai_next)
    connected = ConnectOne(*ai, timeoutMs, stop, socketFd);
  ::freeaddrinfo(list);
  return connected;
}

bool SendAll(int fd, const char* data, std::size_t size, const std::atomic<bool>& stop) {
  while (size > 0) {
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent > 0) {
      data += sent;
      size -= static_cast<std::size_t>(sent);
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitReady(fd, POLLOUT, kSendStallMs, stop)) return false;
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else {
      return false;
    }
    if (stop.load()) return false;
  }
  return true;
}

bool SendFile(int socketFd, const std::string& file, const std::atomic<bool>& stop) {
  Fd input(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (input.get() < 0) return false;
  char buffer[kChunk];
  for (;;) {
    const ssize_t got = ::read(input.get(), buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!SendAll(socketFd, buffer, static_cast<std::size_t>(got), stop)) return false;
  }
}

}  // namespace

TcpOutcome TcpSendFile(const std::string& address, int port, const std::string& file,
                       int connectTimeoutMs, const std::atomic<bool>& stop,
                       const std::function<void(TcpStep, bool)>& onStep) {
  const auto report = [&](TcpStep step, bool ok) {
    if (onStep) onStep(step, ok);
  };
  TcpOutcome outcome;
  Fd socketFd;
  outcome.opened = Connect(address, port, connectTimeoutMs, stop, socketFd);
  report(TcpStep::kOpen, outcome.opened);
  if (outcome.opened) {
    outcome.sent = SendFile(socketFd.get(), file, stop);
    report(TcpStep::kSend, outcome.sent);
  }
  outcome.closed = socketFd.Close();
  report(TcpStep::kClose, outcome.closed);
  return outcome;
}

}  // namespace quillon::net
