#include "polling/poll_test_thread.h"

#include "common/format.h"
#include "polling/poll_address.h"
#include "polling/poll_texts.h"
#include "serial/result_codes.h"

namespace quillon {

std::atomic<TPolltestThread*> TPolltestThread::running_{nullptr};

std::unique_ptr<TPolltestThread> TPolltestThread::Start(const PollTestLine& line,
                                                        std::shared_ptr<const PollTestInput> input,
                                                        PollTestCallbacks callbacks,
                                                        const ShutdownState* shutdown) {
  std::unique_ptr<TPolltestThread> test(
      new TPolltestThread(line, std::move(input), std::move(callbacks), shutdown));
  TPolltestThread* none = nullptr;
  if (!running_.compare_exchange_strong(none, test.get())) return nullptr;
  test->thread_ = std::thread([t = test.get()] { t->Run(); });
  return test;
}

TPolltestThread::TPolltestThread(const PollTestLine& line,
                                 std::shared_ptr<const PollTestInput> input,
                                 PollTestCallbacks callbacks, const ShutdownState* shutdown)
    : line_(line),
      input_(std::move(input)),
      callbacks_(std::move(callbacks)),
      shutdown_(shutdown),
      port_(shutdown) {
  port_.noPollConfirm = true;
}

TPolltestThread::~TPolltestThread() { Stop(); }

void TPolltestThread::Stop() {
  {
    std::lock_guard lock(mutex_);
    end_ = true;
  }
  wake_.notify_all();
  port_.SetAbortRequested(true);
  if (thread_.joinable()) thread_.join();
}

PollTimes TPolltestThread::Times() const {
  std::lock_guard lock(mutex_);
  return times_;
}

bool TPolltestThread::Ending() const {
  if (shutdown_ != nullptr && shutdown_->IsShuttingDown()) return true;
  std::lock_guard lock(mutex_);
  return end_;
}

bool TPolltestThread::Sleep(int ms) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, std::chrono::milliseconds(ms),
                 [this] { return end_ || (shutdown_ != nullptr && shutdown_->IsShuttingDown()); });
  return !end_;
}

void TPolltestThread::Run() {
  opened_ =
      port_.Open(line_.portName, line_.baudrate, line_.dataBits, line_.parity, line_.stopBits) > 0;
  if (opened_) {
    port_.SetTimeout(kCharTimeoutMs);
    Loop();
    port_.Close();
  } else if (callbacks_.openFailed) {
    // The name without its colon, so that the text reads "... COM1: !".
    std::string name = line_.portName;
    if (!name.empty() && name.back() == ':') name.pop_back();
    callbacks_.openFailed(Format(txt::kPollTestOpenFailed, name));
  }
  // The port is closed before the slot is free, so the next test can open it.
  running_.store(nullptr);
  if (callbacks_.ended) callbacks_.ended();
}

void TPolltestThread::Loop() {
  while (!Ending()) {
    const std::vector<std::string> addresses = input_->Addresses();
    const int cycle = input_->Interval();
    if (addresses.empty()) {
      Sleep(cycle);
      continue;
    }
    nextIndex_ = NextPollIndex(nextIndex_, addresses.size());
    const std::string& address = addresses[static_cast<std::size_t>(nextIndex_)];
    port_.pollTimeout = cycle;
    const bool answered = port_.Poll(address) == rc::kOk;
    if (Ending()) break;
    std::string times;
    {
      std::lock_guard lock(mutex_);
      if (answered) times_.Record(port_.responseTime);
      times = times_.Text();
    }
    if (callbacks_.shown) callbacks_.shown(address, times);
  }
}

}  // namespace quillon
