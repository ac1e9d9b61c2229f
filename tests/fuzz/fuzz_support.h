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

inline void Check(bool ok) {
  if (!ok) std::abort();
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

// A file holding `bytes` for as long as the object lives; anything else written beside it under
// the same name plus a suffix is removed with it.
class ScratchFile {
 public:
  ScratchFile(std::string_view name, std::string_view bytes) : path_(ScratchDir() + std::string(name)) {
    const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Check(fd >= 0);
    for (size_t done = 0; done < bytes.size();) {
      const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
      Check(n > 0);
      done += static_cast<size_t>(n);
    }
    close(fd);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  ~ScratchFile() {
    unlink(path_.c_str());
    for (const char* suffix : {".bad", ".bak", ".tmp"}) unlink((path_ + suffix).c_str());
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace fuzz
