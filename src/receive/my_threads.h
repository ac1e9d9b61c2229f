#pragma once
// TMyThreads: the status record of one port, shared by its receive thread (writer) and the main
// thread (reader). It outlives the thread, so the main thread may wait for `Finished` without
// touching a thread object that may already be gone.
//
// The strings and lists are guarded by TGlobalApp::ListLock; counters and flags are atomics
// written by one side and read by the other.
#include <array>
#include <atomic>
#include <deque>
#include <string>
#include <vector>

#include "config/settings_types.h"

namespace quillon {

class TComThread;

inline constexpr size_t kMaxDataLines = 250;
// A kept data line is cut to this many characters: a record may be up to 1 MiB long. Records are
// kept as the terminal sent them, one byte per character (its code page is converted only when
// shown), so the cut never splits a character.
inline constexpr size_t kMaxDataLineChars = 1000;

struct TMyThreads {
  std::atomic<int> Records{0};
  std::atomic<int> Bytes{0};
  std::string StatusText;             // ListLock
  std::string FileName;               // ListLock
  std::deque<std::string> DataLines;  // ListLock, at most kMaxDataLines of kMaxDataLineChars
  std::atomic<bool> DataChanged{false};
  std::vector<std::string> LogLines;  // ListLock; appended by the thread, taken by the main thread
  std::atomic<bool> UpdatePending{false};
  std::atomic<bool> LedPending{false};
  // The LED state asked for last: a state set while an LED message is still queued is not
  // posted again, so the window catches up from here when it handles the queued one.
  std::atomic<int> LedState{2};
  std::atomic<bool> Finished{true};
};

using PortStatusArray = std::array<TMyThreads, kPortCount + 1>;  // index 1..8

}  // namespace quillon
