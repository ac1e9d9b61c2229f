#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "common/clock.h"

namespace quillon::test {
namespace {

long long NowMs() { return static_cast<long long>(Clock()); }

}  // namespace

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (out_fd_ >= 0) close(out_fd_);
  if (err_fd_ >= 0) close(err_fd_);
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& cwd,
                         const std::vector<std::string>& env) {
  // A child object may run one program after another; each run starts with empty output.
  if (out_fd_ >= 0) close(out_fd_);
  if (err_fd_ >= 0) close(err_fd_);
  out_fd_ = err_fd_ = -1;
  out_.clear();
  err_.clear();
  int outPipe[2];
  int errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return false;
  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    const int devnull = open("/dev/null", O_RDONLY);
    dup2(devnull, 0);
    // The test runner may block signals; the child starts with a clean mask.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  out_fd_ = outPipe[0];
  err_fd_ = errPipe[0];
  return true;
}

void ChildProcess::Pump(int timeoutMs) {
  pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  if (poll(fds, 2, timeoutMs) <= 0) return;
  char buf[4096];
  for (int i = 0; i < 2; ++i) {
    if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
    const ssize_t n = read(fds[i].fd, buf, sizeof buf);
    if (n > 0) {
      (i == 0 ? out_ : err_).append(buf, static_cast<size_t>(n));
    } else {
      close(fds[i].fd);
      (i == 0 ? out_fd_ : err_fd_) = -1;
    }
  }
}

bool ChildProcess::WaitForOutput(const std::string& text, int timeoutMs) {
  const long long end = NowMs() + timeoutMs;
  while (out_.find(text) == std::string::npos && err_.find(text) == std::string::npos) {
    const long long left = end - NowMs();
    if (left <= 0 || (out_fd_ < 0 && err_fd_ < 0)) return false;
    Pump(static_cast<int>(left));
  }
  return true;
}

void ChildProcess::Signal(int sig) {
  if (pid_ > 0) kill(pid_, sig);
}

int ChildProcess::Wait(int timeoutMs) {
  const long long end = NowMs() + timeoutMs;
  while (out_fd_ >= 0 || err_fd_ >= 0) {
    const long long left = end - NowMs();
    if (left <= 0) break;
    Pump(static_cast<int>(left));
  }
  while (pid_ > 0) {
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      pid_ = -1;
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      return 128 + WTERMSIG(status);
    }
    if (NowMs() >= end) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
      return -1;
    }
    usleep(10000);
  }
  return -1;
}

int RunToEnd(ChildProcess& child, const std::vector<std::string>& argv, const std::string& cwd,
             const std::vector<std::string>& env, int timeoutMs) {
  if (!child.Start(argv, cwd, env)) return -1;
  return child.Wait(timeoutMs);
}

}  // namespace quillon::test
