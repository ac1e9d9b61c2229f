#pragma once
// A pseudo-terminal pair as a serial line for tests: the code under test opens path(), the
// test plays the other end through the master side with raw bytes.
#include <string>

namespace quillon::test {

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& path() const { return path_; }
  int master() const { return master_; }
  void Write(const std::string& bytes);
  // Reads until `count` bytes arrived or `timeoutMs` passed.
  std::string Read(size_t count, int timeoutMs);
  // Everything that arrives within `timeoutMs`.
  std::string ReadFor(int timeoutMs);
  void CloseMaster();

 private:
  int master_ = -1;
  int slave_ = -1;  // kept open so the line exists until the test opens it
  std::string path_;
};

}  // namespace quillon::test
