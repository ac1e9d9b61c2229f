#include "common/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace quillon {
namespace {

constexpr std::string_view kRaiseRequest = "raise\n";

std::string RuntimeBase(const std::string& name) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (runtime != nullptr && *runtime != '\0' && stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) {
    return std::string(runtime) + "/" + name;
  }
  return "/tmp/" + name + "-" + std::to_string(getuid());
}

bool FillAddress(const std::string& path, sockaddr_un& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

SingleInstance::SingleInstance(std::string name) : name_(std::move(name)) {}

SingleInstance::~SingleInstance() {
  if (listen_fd_ >= 0) {
    close(listen_fd_);
    unlink(socketPath().c_str());
  }
  if (lock_fd_ >= 0) close(lock_fd_);
}

std::string SingleInstance::lockPath() const { return RuntimeBase(name_) + ".lock"; }
std::string SingleInstance::socketPath() const { return RuntimeBase(name_) + ".sock"; }

bool SingleInstance::Acquire() {
  if (lock_fd_ >= 0) return true;
  const int fd = open(lockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;  // no place for a lock: run rather than refuse to start
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  lock_fd_ = fd;
  sockaddr_un addr{};
  if (!FillAddress(socketPath(), addr)) return true;
  unlink(socketPath().c_str());  // left over by a crashed instance; we hold the lock now
  listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listen_fd_ >= 0 && (bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
                          listen(listen_fd_, 4) != 0)) {
    close(listen_fd_);
    listen_fd_ = -1;
  }
  return true;
}

bool SingleInstance::TakeRaiseRequest() {
  if (listen_fd_ < 0) return false;
  const int conn = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
  if (conn < 0) return false;
  char buf[16] = {};
  // The sender writes its request before closing; wait briefly for it.
  timeval tv{0, 200000};
  setsockopt(conn, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  const ssize_t n = recv(conn, buf, sizeof buf - 1, 0);
  close(conn);
  return n > 0 && std::string_view(buf, static_cast<size_t>(n)) == kRaiseRequest;
}

bool SingleInstance::AskRunningInstanceToRaise() const {
  sockaddr_un addr{};
  if (!FillAddress(socketPath(), addr)) return false;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                  send(fd, kRaiseRequest.data(), kRaiseRequest.size(), MSG_NOSIGNAL) ==
                      static_cast<ssize_t>(kRaiseRequest.size());
  close(fd);
  return ok;
}

}  // namespace quillon
