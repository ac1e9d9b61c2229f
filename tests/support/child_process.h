#pragma once
// Runs a program as a child process for integration tests, collecting its output, with every
// wait bounded in time.
#include <sys/types.h>

#include <string>
#include <vector>

namespace quillon::test {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();  // kills a child still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts argv[0] (a path) in `cwd` with `env` ("NAME=value") added to the environment.
  bool Start(const std::vector<std::string>& argv, const std::string& cwd,
             const std::vector<std::string>& env = {});
  // Reads output until stdout or stderr holds `text` or the time is up.
  bool WaitForOutput(const std::string& text, int timeoutMs);
  void Signal(int sig);
  // Waits for the end; returns the exit code, 128+signal, or -1 on time-out (then killed).
  int Wait(int timeoutMs);

  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }
  pid_t pid() const { return pid_; }

 private:
  void Pump(int timeoutMs);

  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  std::string out_;
  std::string err_;
};

// Starts, waits at most `timeoutMs` and returns the exit code (-1 on time-out).
int RunToEnd(ChildProcess& child, const std::vector<std::string>& argv, const std::string& cwd,
             const std::vector<std::string>& env, int timeoutMs);

}  // namespace quillon::test
