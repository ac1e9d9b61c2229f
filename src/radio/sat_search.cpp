#include "radio/sat_search.h"

#include <chrono>
#include <cstdlib>

namespace quillon {

TSearchSatThread::TSearchSatThread(TOrvComm& port, SearchEvents events,
                                   const ShutdownState* shutdown)
    : port_(port), events_(std::move(events)), shutdown_(shutdown) {
  thread_ = std::thread([this] { Run(); });
}

TSearchSatThread::~TSearchSatThread() {
  {
    std::lock_guard lock(mutex_);
    job_ = Job::kEnd;
    searching_ = false;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
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

// Placeholder until the search is written: ends at once.
void TSearchSatThread::SearchPass() {
  searching_ = false;
  if (events_.searchEnded) events_.searchEnded();
}

void TSearchSatThread::AddressChange(int oldAddress, int newAddress) {
  if (events_.changeEnded) events_.changeEnded(oldAddress, newAddress, false);
}

std::optional<int> ParseSatelliteAddress(const std::string& answer) {
  if (answer == "-0-") return 0;
  char* end = nullptr;
  const long value = std::strtol(answer.c_str(), &end, 10);
  if (answer.empty() || *end != '\0' || value < 1 || value > kLastSearchAddress) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace quillon
