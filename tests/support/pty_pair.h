#pragma once
// A pseudo-terminal pair as a serial line for tests: the code under test opens path(), the
// test plays the other end through the master side with raw bytes.
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

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

// Writes `bytes` to a line after `ms` unless it is destroyed first. It ends a read that an
// abort or a time-out should have ended long before, so that the test fails (the read returns
// what was written) instead of hanging; no bound on how soon the read must end.
class LineBackstop {
 public:
  LineBackstop(PtyPair& line, std::string bytes, int ms = 20000);
  ~LineBackstop();
  LineBackstop(const LineBackstop&) = delete;
  LineBackstop& operator=(const LineBackstop&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace quillon::test
