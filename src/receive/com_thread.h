#pragma once
// TComThread: the receive thread of one port. It owns the port while reception runs, waits in
// its gate (polling, modem), receives transfers with the block protocol, stores them, runs
// terminal commands, the clock synchronisation and the post-processing, and tells the main
// thread everything through the port's status record and posted messages. With X-, Y- or
// Z-Modem it hands its line to a library port for each transfer and takes it back afterwards.
//
// Ownership: created and stopped by ReceptionControl on the main thread; the running thread
// holds a reference to its own object and to the shared ReceptionEnv, so a thread that had to be
// given up (detached after the stop time-out) never touches freed memory. The status record
// outlives the thread.
//
// A line that dies under the thread (device unplugged, far end of a pseudo-terminal closed) is
// reported once and closed; the thread then opens it again after a growing pause until it is
// back, and reception goes on by itself.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config/settings_types.h"
#include "protocols/ack_nak.h"
#include "receive/file_store.h"
#include "receive/my_threads.h"
#include "receive/port_reporter.h"
#include "receive/reception_env.h"
#include "serial/line_file.h"

namespace quillon {

class LibraryPort;
class SendCancel;

class TComThread : public PortReporter, public std::enable_shared_from_this<TComThread> {
 public:
  TComThread(std::shared_ptr<ReceptionEnv> env, int port);
  ~TComThread() override;

  void Start();
  // Main thread: ask the thread to end; it leaves every wait at once.
  void RequestStop();
  // Waits up to `ms` for the thread's very end; true when it has ended.
  bool WaitUntilEnded(int ms);
  bool HasEnded();
  // Receive threads of the process that have not ended yet (given-up ones included).
  static int RunningCount();
  // Send side: take the port away from the thread (up to 10 s) and give it back. The wait ends
  // early, refused, once `giveUp` is set and WakePauseWait is called; ReleasePause follows
  // every request, also a refused one.
  bool RequestPause(const std::atomic<bool>* giveUp = nullptr);
  void WakePauseWait();
  void ReleasePause();
  // The std::thread, for joining or giving it up.
  std::thread& thread() { return thread_; }
  int PortNo() const { return PortNo_; }

  // PortReporter
  void Report(bool force, int level, const std::string& logText, const std::string& statusText,
              const std::string& dataLine = {}, int addBytes = 0, int addRecords = 0) override;
  void SetLed(int state) override;
  void SetFileName(const std::string& name) override;

 private:
  void Run();
  bool Terminated() const;
  // Sleeps up to `ms` (< 0: until woken); returns early on stop, pause or shutdown.
  void Sleep(int ms);
  // Sleeps up to `ms` (-1: without limit) until `done` holds; checked whenever the thread is woken.
  void WaitFor(int ms, const std::function<bool()>& done);
  void SuspendUntilStopped();
  // `quiet`: a failure is not reported (the attempts to get a lost line back).
  bool OpenPort(bool firstTime, bool quiet = false);
  // The line died: said once, the port closed.
  void LoseLine();
  // Tries once to open the lost line again, after a growing pause; leaves early on stop or
  // pause. Back, the port is open and ready.
  void ReopenLostLine();
  bool Gate();
  bool ModemStep();
  void HangUpModem();
  bool ReceiveAckNak();
  bool ReceiveFirstBlock();
  bool StoreBlock();
  bool ReceiveBlocks();
  bool FinishTransfer(bool received, bool commandTransfer);
  // The port's program and the forwarding, for one transfer stored in `storedFile`.
  void PostProcessStored(const std::string& storedFile);
  // Hands the port object the way into the port's logbook.
  void ConnectPortLog();
  bool SyncTerminalClock();
  // One X-, Y- or Z-Modem reception (protocol 2, 3 or 4); false when the thread is to end.
  bool ReceiveModem(int protocol);
  // The transfer on the handed-over line, its attempts and what follows from its result.
  void ReceiveOverLibraryPort(LibraryPort& port, int protocol);
  [[nodiscard]] int ModemAttempts(LibraryPort& port, int protocol, std::string& senderName);
  // The transfer's progress callback: -1 once the transfer is to be given up.
  int ModemProgress(int32_t bytesSoFar, int32_t blockLength, const std::string& senderName);
  void StoreModemFile(const std::string& shownName);
  // The port object takes its line back after a hand-over; a line that cannot be opened again
  // counts as lost.
  void TakeBackLine();
  // Stop, pause or the program's end: a running transfer is given up.
  bool TransferAbandoned() const;
  // Makes `port` the one that a stop or pause wakes (null: none).
  void SetLibraryPort(LibraryPort* port);
  // Deletes the temporary file by its name; a failure is reported with `place`. True when it is
  // gone.
  bool RemoveTempFile(int place);
  void ResetTransferCounters();
  // "$s^update": the file goes in DL mode on the port closed for it; the port is opened again
  // afterwards (rc::kOk when the file went over).
  int SendUpdate(const std::string& file, const TOrvAckNak::Progress& progress);
  void ReportCommunicationError();
  // The radio network on this port ("Verano Quorbus"): runs until the thread ends; false when
  // the network could not be opened.
  bool RunNetwork();
  // Opens the network on the port's line and starts its poll cycle; false when it cannot be
  // opened.
  bool StartNetwork(bool firstTime);
  void CloseNetwork();
  // Each record of `buffer` (separated by CR or LF) stored on its own; the last one's result.
  bool NetworkRecords(const std::string& buffer);
  // Satellites reported online and offline, once per change.
  void SatelliteCheck();
  // Deletes the temporary file (a name that meanwhile names another file stays) and closes it.
  void DeleteTempFile(int place);
  // Swaps the port object; the main thread may be reaching for it to abort a wait.
  void ReplacePort(std::unique_ptr<TOrvAckNak> port);
  const TQuillonOpt& Opt() const { return env_.app.PortSettings[PortNo_]; }
  TMyThreads& Status() { return env_.status[PortNo_]; }

  const std::shared_ptr<ReceptionEnv> envHold_;
  ReceptionEnv& env_;
  const int PortNo_;
  std::unique_ptr<TOrvAckNak> AckNak;
  LibraryPort* LibPort = nullptr;  // port_mutex_; the line's holder during a modem transfer
  // port_mutex_; ends a running "$s^update" send.
  SendCancel* UpdateCancel = nullptr;
  std::unique_ptr<TOrvFile32> OutFile;
  std::string TempFileName;
  std::array<std::string, 3> TargetNames;
  // The file the current transfer was stored in; empty while it is not stored in a target.
  std::string LastStoredFile;
  int RecordCount = 0;
  size_t PollIndex = 0;
  std::atomic<bool> StopRequested{false};
  std::atomic<bool> PauseRequested{false};
  std::atomic<bool> Paused{false};
  std::atomic<bool> AbortTransfer{false};
  bool ModemOnline = false;
  bool HangupFailed = false;
  bool LineLost = false;
  bool LineGoneForGood = false;
  int ReopenPauseMs = 0;
  uint64_t LastModemCheck = 0;
  int NetHandle = -1;
  std::vector<std::string> SatOnline;
  std::vector<std::string> SatOffline;
  uint64_t LastNetCheck = 0;
  std::atomic<bool> NetRecordsWaiting{false};  // set by the network's line thread
  std::vector<std::string> Passwords;
  FileStore store_;  // keeps what the recovery last reported from one wait to the next

  std::mutex port_mutex_;  // guards the AckNak and LibPort pointers against RequestStop
  std::mutex wait_mutex_;
  std::condition_variable wake_;    // the thread's own waits
  std::condition_variable paused_;  // RequestPause waiting for Paused
  std::mutex end_mutex_;
  std::condition_variable end_cv_;
  bool ended_ = false;  // end_mutex_
  std::thread thread_;
};

}  // namespace quillon
