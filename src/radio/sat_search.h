#pragma once
// Looking for satellites on a network's line and giving a found one a new address. Both run on
// a worker thread of their own, one job at a time, so that the window that asks stays
// responsive; the results come back through callbacks (called on the worker thread: a window
// passes them on to its own thread).
//
// The search tries every address from 0 to kLastSearchAddress, each at 9600, 19200 and 38400
// baud. A satellite that answers at a rate other than the line's is configured to the line's
// rate (keeping its address, terminal range 1..1), so that it answers on the line afterwards.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "common/shutdown_state.h"
#include "serial/orv_comm.h"

namespace quillon {

class QuorbusLine;

inline constexpr int kLastSearchAddress = 100;
// How long a status check waits for each piece of the answer during the search.
inline constexpr int kSearchReadTimeoutMs = 200;
// The rates tried at each address, in this order.
inline constexpr int kSearchBauds[] = {9600, 19200, 38400};
// Status checks at the new address after an address change.
inline constexpr int kAddressChangeTries = 5;

// No event comes once the thread's destructor has begun.
struct SearchEvents {
  // An address is being tried at a baud rate.
  std::function<void(int address, int baud)> testing;
  // A satellite answered at `address`.
  std::function<void(int address)> found;
  // The search pass ended (all addresses tried, or stopped).
  std::function<void()> searchEnded;
  // An address change ended: `answered` when the satellite answered at its new address.
  std::function<void(int oldAddress, int newAddress, bool answered)> changeEnded;
};

class TSearchSatThread {
 public:
  // The port must be open and outlive the thread; its baud rate and read time-out are restored
  // after every job. A search pass ends after `lastAddress` (0..kLastSearchAddress).
  TSearchSatThread(TOrvComm& port, SearchEvents events, const ShutdownState* shutdown = nullptr,
                   int lastAddress = kLastSearchAddress);
  // Ends a running job at once (the wait under way is cut short through the port's abort,
  // which is cleared again afterwards when it was clear before) and waits for the thread.
  ~TSearchSatThread();
  TSearchSatThread(const TSearchSatThread&) = delete;
  TSearchSatThread& operator=(const TSearchSatThread&) = delete;

  // Starts a search pass; false while a job runs.
  bool StartSearch();
  // Ends the pass after the address under test (its result still counts).
  void StopSearch();
  // Configures the satellite at `oldAddress` to `newAddress` (terminal range 1..1, the line's
  // baud rate), then asks it up to 5 times at its new address; false while a job runs.
  bool StartAddressChange(int oldAddress, int newAddress);
  bool Busy() const;
  // Waits until no job runs; false after `ms`.
  bool WaitIdle(int ms);

 private:
  void Run();
  void SearchPass();
  void AddressChange(int oldAddress, int newAddress);
  // Tries one address at every search rate until it answers; true when it did.
  bool SearchAddress(QuorbusLine& line, int address, int lineBaud);
  [[nodiscard]] bool Interrupted() const;
  // Calls an event unless the destructor has begun (its receiver may be going away).
  template <typename Event, typename... Args>
  void Report(const Event& event, Args... args) const {
    if (event && !ending_) event(args...);
  }

  TOrvComm& port_;
  SearchEvents events_;
  const ShutdownState* shutdown_;
  const int lastAddress_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  enum class Job { kNone, kSearch, kChange, kEnd } job_ = Job::kNone;
  int oldAddress_ = 0;
  int newAddress_ = 0;
  bool busy_ = false;
  std::atomic<bool> searching_{false};
  std::atomic<bool> ending_{false};
  std::thread thread_;
};

// The answer to "Neue Satellitenadresse:": "-0-" is address 0, any other text a number from 1
// to kLastSearchAddress; nullopt for anything else.
std::optional<int> ParseSatelliteAddress(const std::string& answer);

}  // namespace quillon
