#pragma once
// Tv24SatThread: runs one radio network on its line. It switches one group of satellites at a
// time on the air (tells them to poll their terminals), reads the data every satellite and
// stationary terminal has stored, hands the records to the inbox through the record handler,
// and delivers the records queued for terminals through the satellites that cover them.
//
// Modes: idle (waits for work), cycling (the poll cycle over the groups, a number of passes or
// without end) and ending. Another thread may borrow the line between two steps of a cycle
// (RequestLine/ReleaseLine): the cycle stops at its safe point, with the group on the air.
//
// Every wait blocks on the line, on a condition variable or on the clock; stopping, ending and
// the application's shutdown end the waits at once.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "common/shutdown_state.h"
#include "radio/multi_sat.h"
#include "radio/quorbus_line.h"
#include "radio/term_debug.h"
#include "radio/term_records.h"

namespace quillon {

// The radio channel of the process: of all its networks, one group is on the air at a time.
class RadioChannel {
 public:
  static RadioChannel& Process();
  // Waits until the channel is free and takes it; false when `giveUp` says so (checked again
  // whenever Wake is called).
  [[nodiscard]] bool Acquire(const std::function<bool()>& giveUp);
  void Release();
  void Wake();

 private:
  std::mutex mutex_;
  std::condition_variable free_;
  bool taken_ = false;
};

struct SatLineSetup {
  int baud = 9600;
  int handle = 0;
  std::string programDir;  // where the terminals' debug files go
  int debugLevel = 0;
  const ShutdownState* shutdown = nullptr;
  // Longest wait for the fetching side to store a station's records before the data is left on
  // the station (it comes again at the station's next turn).
  int storeWaitMs = 30000;
};

class Tv24SatThread {
 public:
  // Starts at once: stops the polling of every satellite (which checks and initialises each one
  // that answers), then idles. The network, line, port and inbox must outlive the thread.
  Tv24SatThread(TMultiSat& network, QuorbusLine& line, RadioInbox& inbox, SatLineSetup setup);
  // Ends the thread and waits for it.
  ~Tv24SatThread();
  Tv24SatThread(const Tv24SatThread&) = delete;
  Tv24SatThread& operator=(const Tv24SatThread&) = delete;

  // Runs `cycles` passes over all groups (-1 without end); 0 stops after the current group.
  void SetCycles(int cycles);
  bool Idle() const { return idle_.load(); }
  bool CycleRunning() const { return cycleRunning_.load(); }
  bool Ended() const { return ended_.load(); }
  // Waits until the thread idles / a cycle runs; false after `ms` or when the thread ended.
  bool WaitIdle(int ms);
  // Cycles begun so far; waits until more than `before` have begun.
  int CyclesStarted() const { return cyclesStarted_.load(); }
  bool WaitCycleStarted(int before, int ms);
  // Ends the thread: the satellites stop polling, the debug logs are closed. Waits for it.
  void End();

  // Another thread wants the line: true once the cycle waits at its safe point (or runs no
  // cycle); ReleaseLine follows every request.
  bool RequestLine(int ms);
  void ReleaseLine();

  void SetDebugLevel(int level) { termDebug_.SetLevel(level); }
  // Queues a record for a terminal with its next counter, as the record handler does.
  void QueueForTerminal(int terminal, const std::string& record);
  OutgoingList& Outgoing() { return outgoing_; }

 private:
  enum class Mode { kEnd = 0, kIdle = 1, kCycle = 3 };
  void Run();
  void Cycle();
  bool Ending() const;
  bool StopWanted() const;
  void WaitAtSafePoint();

  // Satellite steps.
  bool Check(TOneSat& sat);
  void Initialise(TOneSat& sat);
  bool SwitchPolling(TOneSat& sat, bool on, bool plain);
  void StopAllPolling(bool plain);
  void ReadStation(int address, bool satellite, TOneSat* sat, bool check);
  bool KeepSafely(const std::string& text);
  bool Activate(TOneGrp& group);
  void Deactivate(TOneGrp& group);
  void SendQueued(TOneSat& sat);
  void DeliveryCheck(TOneGrp& group);

  void LineLog(const std::string& text);
  void TermLog(int terminal, const std::string& text, bool blankLine = false);

  TMultiSat& network_;
  QuorbusLine& line_;
  RadioInbox& inbox_;
  SatLineSetup setup_;
  OutgoingList outgoing_;
  TTermDebugLog termDebug_;
  RecordHandler handler_;
  uint64_t createdAt_;
  std::FILE* lineDebug_ = nullptr;

  // State shared with the callers; stateMutex_ guards the waits on it.
  mutable std::mutex stateMutex_;
  std::condition_variable stateChanged_;
  std::atomic<Mode> mode_{Mode::kIdle};
  std::atomic<int> cycles_{0};
  std::atomic<bool> idle_{false};
  std::atomic<bool> cycleRunning_{false};
  std::atomic<int> cyclesStarted_{0};
  std::atomic<bool> hostRequest_{false};
  std::atomic<bool> safePoint_{true};
  std::atomic<bool> ended_{false};
  bool channelLockHeld_ = false;  // the thread's own
  size_t groupIndex_ = 0;         // the thread's own
  int shutdownWaker_ = 0;
  std::thread thread_;
};

}  // namespace quillon
