#pragma once
// TPolltestThread: the poll test of the setup dialog. It opens its own port object on the port
// being edited, in test mode (an acknowledged poll is not followed by the selection frame),
// calls the addresses of the dialog's list in turn with the poll cycle as time-out and reports
// the address and the response times after every poll.
//
// Only one poll test exists in the process at a time. The callbacks run on the test's own
// thread and must not touch windows; the dialog hands them on to its thread.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "common/shutdown_state.h"
#include "polling/poll_test_input.h"
#include "polling/poll_times.h"
#include "protocols/ack_nak.h"

namespace quillon {

// The line settings of the port being edited.
struct PollTestLine {
  std::string portName;  // "COM1:"
  int baudrate = 9600;
  int dataBits = 8;
  int parity = 0;
  int stopBits = 1;
};

struct PollTestCallbacks {
  // After every poll: the polled address and the times, as the two labels show them.
  std::function<void(const std::string& address, const std::string& times)> shown;
  // The port could not be opened: the message to show. The test ends afterwards.
  std::function<void(const std::string& message)> openFailed;
  // The test's thread has ended, by itself or when told to.
  std::function<void()> ended;
};

class TPolltestThread {
 public:
  // Starts a test; nullptr while another poll test runs. `shutdown` (may be null) ends the test
  // when the application closes.
  static std::unique_ptr<TPolltestThread> Start(const PollTestLine& line,
                                                std::shared_ptr<const PollTestInput> input,
                                                PollTestCallbacks callbacks,
                                                const ShutdownState* shutdown = nullptr);
  ~TPolltestThread();
  TPolltestThread(const TPolltestThread&) = delete;
  TPolltestThread& operator=(const TPolltestThread&) = delete;

  // Ends a wait in progress at once, tells the thread to end and waits until it has.
  void Stop();

  // Whether opening the port succeeded (valid once the first report arrived).
  bool Opened() const { return opened_.load(); }
  PollTimes Times() const;

  // The read time-out of each character while the test's port is open.
  static constexpr int kCharTimeoutMs = 1000;

 private:
  TPolltestThread(const PollTestLine& line, std::shared_ptr<const PollTestInput> input,
                  PollTestCallbacks callbacks, const ShutdownState* shutdown);
  void Run();
  void Loop();
  // Sleeps up to `ms` or until told to end; false when told to end.
  bool Sleep(int ms);
  bool Ending() const;

  static std::atomic<TPolltestThread*> running_;

  const PollTestLine line_;
  const std::shared_ptr<const PollTestInput> input_;
  const PollTestCallbacks callbacks_;
  const ShutdownState* shutdown_;
  TOrvAckNak port_;
  std::atomic<bool> opened_{false};
  int nextIndex_ = -1;
  mutable std::mutex mutex_;  // times_, end_
  std::condition_variable wake_;
  bool end_ = false;
  PollTimes times_;
  std::thread thread_;
};

}  // namespace quillon
