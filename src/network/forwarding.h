#pragma once
// The forwarding as reception uses it: started before the receive threads when a port forwards,
// stopped before they stop, and the receive threads' entry for every stored file.
//
// The queue lives as long as this object and is loaded from the job file at its first use, so
// a file stored while the thread is not running is still queued (and in the job file).
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "config/settings_types.h"
#include "network/internet_thread.h"
#include "network/job_queue.h"

namespace quillon::net {

class Forwarding {
 public:
  using Report = TInternetThread::Report;
  // `jobFile` where the queue is kept; `report` reaches a port's status line and logbook;
  // `warn` tells the user something that belongs to no port.
  Forwarding(std::function<std::string()> jobFile, Report report,
             std::function<void(const std::string&)> warn);
  ~Forwarding();
  Forwarding(const Forwarding&) = delete;
  Forwarding& operator=(const Forwarding&) = delete;

  // Creates the forwarding thread unless it runs, when at least one port forwards.
  void StartForwarding(const PortSettingsArray& settings);
  // Ends the thread's running step at once and waits for it; its job stays queued.
  void StopForwarding();
  bool Running();

  // After a stored file was post-processed: a job for it when the port forwards.
  void ForwardStoredFile(int port, const TQuillonOpt& opt, const std::string& file);

  // The pauses of the thread started next (tests shorten them).
  TInternetThread::Timing timing;

 private:
  JobQueue& Queue();  // mutex_ held

  std::function<std::string()> jobFile_;
  Report report_;
  std::function<void(const std::string&)> warn_;
  std::mutex mutex_;
  std::unique_ptr<JobQueue> queue_;
  std::unique_ptr<TInternetThread> thread_;
};

// The job file beside the settings file: its name with the extension replaced by "job".
std::string JobFileFor(const std::string& iniPath);

}  // namespace quillon::net
