#pragma once
// Small helpers shared by the fuzz targets: a failed invariant aborts (libFuzzer keeps the input
// as a crash), and parsers that only read files get the input through a scratch file that lives
// in a directory of this process and is removed after each input.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

// The scratch file of the input being run, removed before a failed check aborts.
inline std::string& CurrentScratch() {
  static std::string path;
  return path;
}
inline void RemoveScratch();

inline void Check(bool ok) {
  if (ok) return;
  RemoveScratch();
  std::abort();
}

// The bytes of the input as text.
inline std::string_view Text(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A directory for this process's scratch files, in memory where the system offers it.
inline const std::string& ScratchDir() {
  static const std::string dir = [] {
    for (const char* base : {"/dev/shm", "/tmp"}) {
      std::string pattern = std::string(base) + "/quillon-fuzz-XXXXXX";
      if (mkdtemp(pattern.data()) != nullptr) {
        static std::string made;
        made = pattern;
        std::atexit([] { rmdir(made.c_str()); });
        return pattern + "/";
      }
    }
    std::abort();
  }();
  return dir;
}

// A file holding `bytes` for as long as the object lives; the ".bad" file a job queue moves
// lines to is removed with it.
class ScratchFile {
 public:
  ScratchFile(std::string_view name, std::string_view bytes)
      : path_(ScratchDir() + std::string(name)) {
    const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Check(fd >= 0);
    for (size_t done = 0; done < bytes.size();) {
      const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
      Check(n > 0);
      done += static_cast<size_t>(n);
    }
    close(fd);
    CurrentScratch() = path_;
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  ~ScratchFile() {
    Remove(path_);
    CurrentScratch().clear();
  }
  static void Remove(const std::string& path) {
    unlink(path.c_str());
    unlink((path + ".bad").c_str());
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline void RemoveScratch() {
  if (CurrentScratch().empty()) return;
  ScratchFile::Remove(CurrentScratch());
  rmdir(ScratchDir().c_str());
}

}  // namespace fuzz
