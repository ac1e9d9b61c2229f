#include "support/fault_relay.h"

#include <poll.h>
#include <unistd.h>

#include <stdexcept>

namespace quillon::test {
namespace {

bool WriteAll(int fd, const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

FaultRelay::FaultRelay(int source, int sink, Faults faults)
    : source_(source), sink_(sink), faults_(faults) {
  if (pipe(stop_) != 0) throw std::runtime_error("pipe");
  thread_ = std::thread([this] { Run(); });
}

FaultRelay::~FaultRelay() {
  (void)!write(stop_[1], "x", 1);
  thread_.join();
  close(stop_[0]);
  close(stop_[1]);
}

std::string FaultRelay::Damage(const unsigned char* bytes, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i, ++passed_) {
    if (passed_ == faults_.extraAt) out += '\x15';
    if (passed_ == faults_.dropAt) continue;
    const bool flip = faults_.flipEvery > 0 && passed_ % faults_.flipEvery == faults_.flipEvery - 1;
    out += static_cast<char>(flip ? bytes[i] ^ 0x24 : bytes[i]);
  }
  return out;
}

void FaultRelay::Run() {
  unsigned char buffer[4096];
  for (;;) {
    pollfd fds[3] = {{source_, POLLIN, 0}, {sink_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
    if (poll(fds, 3, -1) < 0 || fds[2].revents) return;
    if (fds[0].revents & POLLIN) {
      const ssize_t n = read(source_, buffer, sizeof buffer);
      if (n <= 0 || !WriteAll(sink_, Damage(buffer, static_cast<size_t>(n)))) return;
    }
    if (fds[1].revents & POLLIN) {
      const ssize_t n = read(sink_, buffer, sizeof buffer);
      if (n <= 0 ||
          !WriteAll(source_, std::string(reinterpret_cast<char*>(buffer), static_cast<size_t>(n))))
        return;
    }
  }
}

}  // namespace quillon::test
