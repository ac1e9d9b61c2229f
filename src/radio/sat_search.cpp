#include "radio/sat_search.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "radio/quorbus_line.h"

namespace quillon {
namespace {

// The read time-out during an address change on a port that has none of its own.
constexpr int kChangeReadTimeoutMs = 250;

// The port's baud rate and read time-out when a job begins, set back when it ends, however it
// ends.
struct JobPortSettings {
  explicit JobPortSettings(TOrvComm& p) : port(p), baud(p.GetBaud()), timeout(p.GetTimeout()) {}
  ~JobPortSettings() {
    if (port.GetBaud() != baud) (void)port.SetBaud(baud);
    (void)port.SetTimeout(timeout);
  }
  JobPortSettings(const JobPortSettings&) = delete;
  JobPortSettings& operator=(const JobPortSettings&) = delete;

  TOrvComm& port;
  const int baud;
  const int timeout;
};

}  // namespace

TSearchSatThread::TSearchSatThread(TOrvComm& port, SearchEvents events,
                                   const ShutdownState* shutdown, int lastAddress)
    : port_(port),
      events_(std::move(events)),
      shutdown_(shutdown),
      lastAddress_(std::clamp(lastAddress, 0, kLastSearchAddress)) {
  thread_ = std::thread([this] { Run(); });
}

TSearchSatThread::~TSearchSatThread() {
  bool aborted = false;
  {
    std::lock_guard lock(mutex_);
    job_ = Job::kEnd;
    searching_ = false;
    ending_ = true;
    // A job under way may be waiting for an answer or a satellite's settle time: the port's
    // abort ends that wait at once.
    if (busy_ && !port_.AbortRequested()) {
      port_.SetAbortRequested(true);
      aborted = true;
    }
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (aborted) port_.SetAbortRequested(false);
}

bool TSearchSatThread::StartSearch() {
  {
    std::lock_guard lock(mutex_);
    if (busy_ || job_ != Job::kNone) return false;
    job_ = Job::kSearch;
    busy_ = true;
    searching_ = true;
  }
  wake_.notify_all();
  return true;
}

void TSearchSatThread::StopSearch() { searching_ = false; }

bool TSearchSatThread::StartAddressChange(int oldAddress, int newAddress) {
  {
    std::lock_guard lock(mutex_);
    if (busy_ || job_ != Job::kNone) return false;
    job_ = Job::kChange;
    busy_ = true;
    oldAddress_ = oldAddress;
    newAddress_ = newAddress;
  }
  wake_.notify_all();
  return true;
}

bool TSearchSatThread::Busy() const {
  std::lock_guard lock(mutex_);
  return busy_;
}

bool TSearchSatThread::WaitIdle(int ms) {
  std::unique_lock lock(mutex_);
  return wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !busy_; });
}

void TSearchSatThread::Run() {
  for (;;) {
    Job job;
    int oldAddress = 0, newAddress = 0;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return job_ != Job::kNone; });
      job = job_;
      if (job == Job::kEnd) return;
      oldAddress = oldAddress_;
      newAddress = newAddress_;
    }
    if (job == Job::kSearch) SearchPass();
    if (job == Job::kChange) AddressChange(oldAddress, newAddress);
    {
      std::lock_guard lock(mutex_);
      if (job_ != Job::kEnd) job_ = Job::kNone;
      busy_ = false;
    }
    wake_.notify_all();
  }
}

bool TSearchSatThread::Interrupted() const {
  return ending_ || port_.AbortRequested() || !port_.IsOpen() ||
         (shutdown_ != nullptr && shutdown_->IsShuttingDown());
}

void TSearchSatThread::SearchPass() {
  const JobPortSettings restore(port_);
  const int lineBaud = restore.baud;
  (void)port_.SetTimeout(kSearchReadTimeoutMs);
  QuorbusLine line(port_, shutdown_);
  // The address under test is always finished: a stop ends the pass before the next one.
  for (int address = 0; address <= lastAddress_ && searching_ && !Interrupted(); ++address) {
    if (SearchAddress(line, address, lineBaud)) Report(events_.found, address);
  }
  searching_ = false;
  Report(events_.searchEnded);
}

bool TSearchSatThread::SearchAddress(QuorbusLine& line, int address, int lineBaud) {
  for (const int baud : kSearchBauds) {
    if (Interrupted()) return false;
    if (port_.GetBaud() != baud) (void)port_.SetBaud(baud);
    Report(events_.testing, address, baud);
    // A late answer to an earlier question must not pass for this one.
    (void)port_.Purge(1);
    if (line.StatusCheck(address) != 0) continue;
    if (baud != lineBaud) {
      // From now on it answers at the line's own rate, under the same address. Its answer to
      // the configuration comes at the rate it had; whether it took it shows on the line
      // afterwards, so the result is not needed here.
      (void)line.ConfigureSatellite(address, address, lineBaud, 1, 1);
    }
    return true;
  }
  return false;
}

void TSearchSatThread::AddressChange(int oldAddress, int newAddress) {
  const JobPortSettings restore(port_);
  // The answers are awaited with a bounded read even on a port set to wait without limit.
  if (restore.timeout <= 0) (void)port_.SetTimeout(kChangeReadTimeoutMs);
  QuorbusLine line(port_, shutdown_);
  // The satellite answers the configuration under its old address; whether it took the new
  // one shows only by its answer there.
  (void)line.ConfigureSatellite(oldAddress, newAddress, restore.baud, 1, 1);
  bool answered = false;
  for (int i = 0; i < kAddressChangeTries && !answered && !Interrupted(); ++i) {
    answered = line.StatusCheck(newAddress) == 0;
  }
  Report(events_.changeEnded, oldAddress, newAddress, answered);
}

std::optional<int> ParseSatelliteAddress(const std::string& answer) {
  if (answer == "-0-") return 0;
  char* end = nullptr;
  const long value = std::strtol(answer.c_str(), &end, 10);
  if (answer.empty() || *end != '\0' || value < 1 || value > kLastSearchAddress)
    return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace quillon
