#include "support/pty_pair.h"

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "common/clock.h"

namespace quillon::test {
namespace {

long long NowMs() { return static_cast<long long>(Clock()); }

}  // namespace

PtyPair::PtyPair() {
  char name[256] = {};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
  termios tio{};
  tcgetattr(master_, &tio);
  cfmakeraw(&tio);
  tcsetattr(master_, TCSANOW, &tio);
  tcgetattr(slave_, &tio);
  cfmakeraw(&tio);
  tcsetattr(slave_, TCSANOW, &tio);
  path_ = name;
}

PtyPair::~PtyPair() {
  CloseMaster();
  if (slave_ >= 0) close(slave_);
}

void PtyPair::CloseMaster() {
  if (master_ >= 0) close(master_);
  master_ = -1;
}

void PtyPair::Write(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n <= 0) throw std::runtime_error("write to pty");
    done += static_cast<size_t>(n);
  }
}

std::string PtyPair::Read(size_t count, int timeoutMs) {
  std::string out;
  const long long end = NowMs() + timeoutMs;
  while (out.size() < count) {
    const long long left = end - NowMs();
    if (left <= 0) break;
    pollfd pfd{master_, POLLIN, 0};
    if (poll(&pfd, 1, static_cast<int>(left)) <= 0) break;
    char buf[4096];
    const ssize_t n = read(master_, buf, std::min(sizeof buf, count - out.size()));
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

LineBackstop::LineBackstop(PtyPair& line, std::string bytes, int ms)
    : thread_([this, &line, bytes = std::move(bytes), ms] {
        std::unique_lock lock(mutex_);
        if (!ended_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return done_; })) {
          line.Write(bytes);
        }
      }) {}

LineBackstop::~LineBackstop() {
  {
    std::lock_guard lock(mutex_);
    done_ = true;
  }
  ended_.notify_all();
  thread_.join();
}

std::string PtyPair::ReadFor(int timeoutMs) { return Read(static_cast<size_t>(-1) / 2, timeoutMs); }

}  // namespace quillon::test
