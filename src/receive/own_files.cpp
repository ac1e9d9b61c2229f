#include "receive/own_files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <system_error>
#include <vector>

#include "common/paths.h"
#include "receive/local_store.h"
#include "serial/com_remap.h"

namespace quillon {
namespace {

// As many links as the kernel follows in one name before it gives up (ELOOP).
constexpr int kMaxLinks = 40;
// mkostemp's six random characters after ".<name>." (see WriteFileAtomically).
constexpr size_t kTemporarySuffix = 6;

bool IsAbsolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string Join(const std::string& dir, const std::string& name) {
  return dir == "/" ? "/" + name : dir + "/" + name;
}

// The directory of an absolute name without a final '/'; "/" for "/" itself.
std::string ParentOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// `path` against the current directory, without folding "..": that is up to the links.
std::string Absolute(const std::string& path) {
  if (IsAbsolute(path)) return path;
  std::error_code ec;
  const std::filesystem::path cwd = std::filesystem::current_path(ec);
  if (ec) return "/" + path;
  return path.empty() ? cwd.string() : Join(cwd.string(), path);
}

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool ReadLink(const std::string& path, std::string& target) {
  char buf[PATH_MAX];
  const ssize_t n = readlink(path.c_str(), buf, sizeof buf);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof buf) return false;
  target.assign(buf, static_cast<size_t>(n));
  return true;
}

// The absolute name `path` with every symbolic link followed, name part by name part as the
// kernel does, and parts that do not exist (yet) taken as plain names: so a dangling link and
// a file about to be created both end up where a write would put them.
std::string Resolved(const std::string& path) {
  std::vector<std::string> pending = Components(Absolute(path));
  std::reverse(pending.begin(), pending.end());
  std::string current = "/";
  int links = 0;
  while (!pending.empty()) {
    const std::string part = std::move(pending.back());
    pending.pop_back();
    if (part == ".") continue;
    if (part == "..") {
      current = ParentOf(current);
      continue;
    }
    const std::string next = Join(current, part);
    struct stat st {};
    std::string target;
    if (links < kMaxLinks && lstat(next.c_str(), &st) == 0 && S_ISLNK(st.st_mode) &&
        ReadLink(next, target)) {
      ++links;
      if (IsAbsolute(target)) current = "/";
      std::vector<std::string> more = Components(target);
      pending.insert(pending.end(), more.rbegin(), more.rend());
      continue;
    }
    current = next;
  }
  return current;
}

// The name itself: its directory resolved, the last part kept even when it is a link.
std::string NamedAs(const std::string& path) {
  const std::string abs = Absolute(path);
  const std::string last = NameOf(abs);
  if (last.empty() || last == "." || last == "..") return Resolved(abs);
  return Join(Resolved(ParentOf(abs)), last);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlnum(char c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// ".quillon.ini.Ab12Cd" beside "quillon.ini": a rewrite that is under way or was cut short.
bool IsRewriteTemporary(const std::string& name, const std::string& of) {
  if (name.size() != of.size() + 2 + kTemporarySuffix || name[0] != '.') return false;
  if (name.compare(1, of.size(), of) != 0 || name[of.size() + 1] != '.') return false;
  for (size_t i = of.size() + 2; i < name.size(); ++i)
    if (!IsAlnum(name[i])) return false;
  return true;
}

// "COM<port>_Logbuch<slot>.txt", the external logbook of any port and day slot.
bool IsExternalLogbookName(const std::string& name) {
  static const std::string kHead = "COM";
  static const std::string kMiddle = "_Logbuch";
  static const std::string kTail = ".txt";
  if (name.compare(0, kHead.size(), kHead) != 0) return false;
  size_t at = kHead.size();
  if (at >= name.size() || name[at] < '1' || name[at] > '0' + kPortCount) return false;
  ++at;
  if (name.compare(at, kMiddle.size(), kMiddle) != 0) return false;
  at += kMiddle.size();
  const size_t digits = at;
  while (at < name.size() && IsDigit(name[at])) ++at;
  return at > digits && name.compare(at, std::string::npos, kTail) == 0;
}

// Where the own files are, resolved once per question: settings may change between two.
struct OwnFiles {
  std::vector<std::string> files;      // fixed names
  std::vector<std::string> rewritten;  // fixed names also rewritten through a temporary
  std::vector<std::string> storeDirs;  // everything inside counts
  std::string extLogDir;               // the external logbooks of every port and slot
};

OwnFiles Collect(const AppContext& app) {
  const TAppInfo& info = app.AppInfo;
  OwnFiles own;
  // Both the name and where it leads: the program writes through a link in its file's place.
  auto add = [](std::vector<std::string>& to, const std::string& path) {
    if (path.empty()) return;
    to.push_back(NamedAs(path));
    if (std::string target = Resolved(path); target != to.back()) to.push_back(std::move(target));
  };
  if (!info.IniPath.empty()) {
    add(own.rewritten, info.IniPath);
    add(own.rewritten, ReplaceExtension(info.IniPath, ".job"));
  }
  for (int port = 1; port <= kPortCount; ++port) {
    add(own.rewritten, app.GlobalApp.PortLogFile[port]);
    add(own.files, info.ProgramDir + "rxtmp" + std::to_string(port) + ".dat");
    add(own.storeDirs, LocalStoreDir(info.ProgramDir, port));
  }
  add(own.files, ComRemapDirectory() + kComRemapFile);
  if (!info.ExePath.empty()) {
    add(own.files, info.ExePath);
    add(own.files, DirectoryPart(info.ExePath) + kComRemapFile);
  }
  add(own.files, "/proc/self/exe");
  const std::string& extLogDir = app.GlobalApp.ExtLogDir;  // empty: the program directory
  own.extLogDir = Resolved(extLogDir.empty() ? info.ProgramDir : extLogDir);
  return own;
}

bool MatchesName(const OwnFiles& own, const std::string& resolved) {
  for (const auto* list : {&own.files, &own.rewritten})
    for (const std::string& file : *list)
      if (resolved == file) return true;
  const std::string dir = ParentOf(resolved);
  const std::string name = NameOf(resolved);
  for (const std::string& file : own.rewritten)
    if (dir == ParentOf(file) && IsRewriteTemporary(name, NameOf(file))) return true;
  for (const std::string& store : own.storeDirs)
    if (resolved == store || resolved.starts_with(Join(store, ""))) return true;
  return dir == own.extLogDir && IsExternalLogbookName(name);
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool IsFile(const std::string& path, const struct stat& file) {
  struct stat other {};
  return stat(path.c_str(), &other) == 0 && SameFile(file, other);
}

// Whether a directory holds `file` under another name that `accept` takes.
template <typename Accept>
bool DirectoryHolds(const std::string& dir, const struct stat& file, Accept accept) {
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return false;
  bool found = false;
  while (const dirent* entry = readdir(d)) {
    struct stat other {};
    if (accept(entry->d_name) && fstatat(dirfd(d), entry->d_name, &other, 0) == 0 &&
        SameFile(file, other)) {
      found = true;
      break;
    }
  }
  closedir(d);
  return found;
}

// An existing file reached under a name of its own: a hard link, a bind mount. The
// directories of the logbooks and local stores are only read for a file with several links.
bool MatchesInode(const OwnFiles& own, const struct stat& file) {
  for (const auto* list : {&own.files, &own.rewritten})
    for (const std::string& path : *list)
      if (IsFile(path, file)) return true;
  if (IsFile("/proc/self/exe", file)) return true;  // also once the program file was replaced
  if (!S_ISREG(file.st_mode) || file.st_nlink < 2) return false;
  for (const std::string& store : own.storeDirs)
    if (DirectoryHolds(store, file, [](const char*) { return true; })) return true;
  return DirectoryHolds(own.extLogDir, file,
                        [](const char* name) { return IsExternalLogbookName(name); });
}

}  // namespace

bool IsProgramFile(const AppContext& app, const std::string& path) {
  if (path.find('\0') != std::string::npos) return true;
  const OwnFiles own = Collect(app);
  if (MatchesName(own, NamedAs(path)) || MatchesName(own, Resolved(path))) return true;
  struct stat file {};
  return stat(Absolute(path).c_str(), &file) == 0 && MatchesInode(own, file);
}

}  // namespace quillon
