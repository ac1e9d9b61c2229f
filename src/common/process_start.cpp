#include "common/process_start.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>

#include "common/paths.h"

extern char** environ;

namespace quillon {

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> args;
  std::string current;
  bool inArgument = false;  // also true for an argument that is still empty ("")
  bool inQuotes = false;
  const size_t n = commandLine.size();
  size_t i = 0;
  while (i < n) {
    const char c = commandLine[i];
    if (c == '\\') {
      size_t count = 0;
      while (i + count < n && commandLine[i + count] == '\\') ++count;
      inArgument = true;
      if (i + count < n && commandLine[i + count] == '"') {
        current.append(count / 2, '\\');
        if (count % 2 == 1) {
          current += '"';
          i += count + 1;
        } else {
          i += count;  // the quote is handled as a quote in the next step
        }
      } else {
        current.append(count, '\\');
        i += count;
      }
      continue;
    }
    if (c == '"') {
      inArgument = true;
      if (inQuotes && i + 1 < n && commandLine[i + 1] == '"') {
        current += '"';
        i += 2;
      } else {
        inQuotes = !inQuotes;
        ++i;
      }
      continue;
    }
    if ((c == ' ' || c == '\t') && !inQuotes) {
      if (inArgument) args.push_back(std::move(current));
      current.clear();
      inArgument = false;
      ++i;
      continue;
    }
    current += c;
    inArgument = true;
    ++i;
  }
  if (inArgument) args.push_back(std::move(current));
  return args;
}

namespace {

// 0 for an executable regular file, else ENOENT or EACCES.
int CheckExecutable(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return errno == EACCES ? EACCES : ENOENT;
  if (!S_ISREG(st.st_mode)) return S_ISDIR(st.st_mode) ? EACCES : ENOENT;
  return access(path.c_str(), X_OK) == 0 ? 0 : EACCES;
}

// Waits for the end of the child `pid`; a signal arriving meanwhile does not end the wait.
void WaitForEnd(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

// Children whose reaper thread could not be created; collected at the next start.
std::mutex leftoverLock;
std::vector<pid_t> leftovers;

void ReapLeftovers() {
  std::lock_guard lock(leftoverLock);
  std::erase_if(leftovers, [](pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) != 0;  // ended (reaped) or no longer ours
  });
}

// A program that is not waited for gets a small detached thread that blocks in waitpid for
// exactly this child and ends with it. Unlike ignoring SIGCHLD this touches no process-wide
// state, so every other waitpid of the process keeps its exit codes; a blocked thread costs
// nothing while the program runs.
void ReapInBackground(pid_t pid) {
  try {
    std::thread([pid] { WaitForEnd(pid); }).detach();
  } catch (const std::system_error&) {
    std::lock_guard lock(leftoverLock);
    leftovers.push_back(pid);
  }
}

class SpawnActions {
 public:
  SpawnActions() { posix_spawn_file_actions_init(&actions_); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

class SpawnAttributes {
 public:
  SpawnAttributes() { posix_spawnattr_init(&attr_); }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attr_); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  posix_spawnattr_t* get() { return &attr_; }

 private:
  posix_spawnattr_t attr_;
};

}  // namespace

std::string FindProgram(const std::string& name, const std::string& programDir, int& error) {
  error = ENOENT;
  // No file name holds a NUL byte; cutting the name there would find a different file.
  if (name.empty() || name.find('\0') != std::string::npos) return {};
  if (name.find('/') != std::string::npos) {
    error = CheckExecutable(name);
    return error == 0 ? name : std::string();
  }
  bool sawNotExecutable = false;
  auto tryDir = [&](const std::string& dir) -> std::string {
    if (dir.empty()) return {};
    const std::string candidate = WithTrailingSlash(dir) + name;
    const int r = CheckExecutable(candidate);
    if (r == EACCES) sawNotExecutable = true;
    return r == 0 ? candidate : std::string();
  };
  if (std::string found = tryDir(programDir); !found.empty()) {
    error = 0;
    return found;
  }
  const char* pathVar = std::getenv("PATH");
  const std::string path = pathVar ? pathVar : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    if (std::string found = tryDir(path.substr(start, end - start)); !found.empty()) {
      error = 0;
      return found;
    }
    start = end + 1;
  }
  error = sawNotExecutable ? EACCES : ENOENT;
  return {};
}

int StartProgram(const std::string& path, const std::vector<std::string>& argv, bool wait) {
  if (path.empty() || argv.empty()) return EINVAL;
  if (path.find('\0') != std::string::npos) return ENOENT;
  for (const std::string& a : argv)
    if (a.find('\0') != std::string::npos) return EINVAL;  // would reach the program cut short
  ReapLeftovers();

  // The child reads nothing from our terminal or line and writes nothing into our output (a
  // chatty program would fill a service's journal), and it inherits no other descriptor,
  // whether or not its opener asked for close-on-exec.
  SpawnActions actions;
  if (int r = posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0))
    return r;
  if (int r = posix_spawn_file_actions_addopen(actions.get(), 1, "/dev/null", O_WRONLY, 0))
    return r;
  if (int r = posix_spawn_file_actions_adddup2(actions.get(), 1, 2)) return r;
  if (int r = posix_spawn_file_actions_addclosefrom_np(actions.get(), 3)) return r;

  // A clean signal state, and a process group of its own: a Ctrl-C that stops the receiver
  // must not kill an importer halfway through its file.
  SpawnAttributes attr;
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int sig : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD, SIGUSR1, SIGUSR2})
    sigaddset(&defaults, sig);
  posix_spawnattr_setsigmask(attr.get(), &none);
  posix_spawnattr_setsigdefault(attr.get(), &defaults);
  posix_spawnattr_setpgroup(attr.get(), 0);
  posix_spawnattr_setflags(attr.get(),
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  pid_t pid = -1;
  // glibc reports a failed exec of the child (missing file, no permission, not a program) as
  // the result of posix_spawn itself.
  const int r = posix_spawn(&pid, path.c_str(), actions.get(), attr.get(), args.data(), environ);
  if (r != 0) return r;
  if (wait) {
    WaitForEnd(pid);
  } else {
    ReapInBackground(pid);
  }
  return 0;
}

int RunProgram(const std::string& commandLine, bool wait, const std::string& programDir) {
  const std::vector<std::string> argv = SplitCommandLine(commandLine);
  if (argv.empty() || argv[0].empty()) return argv.empty() ? EINVAL : ENOENT;
  int error = 0;
  const std::string path = FindProgram(argv[0], programDir, error);
  if (path.empty()) return error;
  return StartProgram(path, argv, wait);
}

}  // namespace quillon
