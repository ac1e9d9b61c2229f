#pragma once
// Per-terminal debug files of a radio network: a readable history of each terminal's traffic in
// programDir + "Term" + NNN + ".Dat".
//
// The line thread forms the entries (TTermDebugLog::Write) and a separate low-priority writer
// (TWriteDebugThread) appends them, so that file access never delays the line. Each line is
// appended with the file opened and closed again, so the files can be read while the network
// runs.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quillon {

inline constexpr int kMaxDebugTerminal = 999;
inline constexpr uintmax_t kOversizedDebugFileBytes = 1048576;

// programDir + "Term" + the number as 3 digits + ".Dat"; nothing for a number outside 0..999
// (terminal numbers come from satellites and are not trusted).
std::optional<std::string> TermDebugFileName(const std::string& programDir, int terminal);

// The debug files of terminals 1..127 in programDir that are larger than 1 MiB, as full paths.
std::vector<std::string> OversizedDebugFiles(const std::string& programDir);
// The question whether such a file shall be deleted.
std::string OversizedDebugFileQuestion(const std::string& fileName);

struct TDebugEntry {
  int terminal = 0;
  std::string text;
};

// The entries waiting for the writer, oldest first. Thread-safe.
class TDebugQueue {
 public:
  void Push(std::vector<TDebugEntry> entries);
  // The oldest entry; waits while the queue is empty. Nothing once the end was requested and
  // every entry has been taken.
  std::optional<TDebugEntry> Take();
  void RequestEnd();

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<TDebugEntry> entries_;
  bool endRequested_ = false;
};

// Appends every entry of the queue as a line to its terminal's file, until the end is requested
// and the queue is drained. Entries for a number outside 0..999 are dropped.
class TWriteDebugThread {
 public:
  TWriteDebugThread(TDebugQueue& queue, std::string programDir);
  ~TWriteDebugThread();  // Finish()
  TWriteDebugThread(const TWriteDebugThread&) = delete;
  TWriteDebugThread& operator=(const TWriteDebugThread&) = delete;

  // Requests the end, lets the writer drain the queue and waits for it.
  void Finish();

 private:
  void Run();

  TDebugQueue& queue_;
  const std::string programDir_;
  std::thread thread_;
};

// What the line thread holds: the debug level, the queue and its writer.
class TTermDebugLog {
 public:
  explicit TTermDebugLog(std::string programDir, int level = 0);

  void SetLevel(int level) { level_ = level; }
  int Level() const { return level_; }

  // Queues "dd.mm.yyyy hh:nn:ss  " + text (local time) for the terminal's file and, with
  // blankLine, an empty line after it. Does nothing while the level is 0 or below, after Stop,
  // or for a terminal number outside 0..999.
  void Write(int terminal, const std::string& text, bool blankLine);
  // Writes what is queued and ends the writer. Called by the owner's thread only.
  void Stop();

 private:
  std::atomic<int> level_;
  bool stopped_ = false;
  TDebugQueue queue_;
  TWriteDebugThread writer_;  // after queue_: it is stopped before the queue goes
};

}  // namespace quillon
