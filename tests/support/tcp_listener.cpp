#include "support/tcp_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace quillon::test {
namespace {
constexpr int kSliceMs = 50;
}  // namespace

TcpListener::TcpListener(int port) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int reuse = 1;
  if (listenFd_ >= 0) (void)::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t length = sizeof address;
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listenFd_, 8) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return;
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

TcpListener::~TcpListener() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) ::close(listenFd_);
}

bool TcpListener::WaitForConnection(std::string& bytes, int timeoutMs) {
  std::unique_lock lock(mutex_);
  if (!ended_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [this] { return !connections_.empty(); }))
    return false;
  bytes = std::move(connections_.front());
  connections_.pop_front();
  return true;
}

void TcpListener::Serve() {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
    }
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, kSliceMs) <= 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::string bytes = Collect(fd);
    ::close(fd);
    std::lock_guard lock(mutex_);
    connections_.push_back(std::move(bytes));
    ended_.notify_all();
  }
}

std::string TcpListener::Collect(int fd) {
  std::string bytes;
  char buffer[16384];
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return bytes;
    }
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kSliceMs) <= 0) continue;
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) return bytes;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
}

}  // namespace quillon::test
