#pragma once
// The forwarding thread: works the job queue one job at a time, one pass a second, and sends
// stored files to a TCP/IP host or an FTP server. A failed job goes back into the queue with
// the time of the attempt and is tried again 15 s later, without limit.
//
// Its reports go to the status line and logbook of the port whose job it works, at the level
// the port's settings allow (the caller's `Report` decides).
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "network/job_queue.h"

namespace quillon::net {

class TInternetThread {
 public:
  // `text` goes to the port's status line and logbook when its level allows; an empty text
  // only asks for the port's display to be refreshed.
  using Report = std::function<void(int port, const std::string& text, int level)>;
  struct Timing {
    int passMs = 1000;         // the pause after every pass
    uint32_t retryMs = 15000;  // a failed job waits this long
    int connectMs = 20000;     // a TCP/IP connect gives up after this
  };

  // Starts the thread on `queue`, which must outlive it.
  TInternetThread(JobQueue& queue, Report report, Timing timing);
  TInternetThread(JobQueue& queue, Report report)
      : TInternetThread(queue, std::move(report), Timing{}) {}
  // StopNetwork, then waits for the thread to finish its step; the queue is saved.
  ~TInternetThread();
  TInternetThread(const TInternetThread&) = delete;
  TInternetThread& operator=(const TInternetThread&) = delete;

  // Ends the running network step at once (it fails and its job is kept) and the loop after it.
  void StopNetwork();

 private:
  void Execute();
  void ProcessJob(int index);
  void TcpJob(int index, const std::string& line);
  void FtpJob(int index, const std::string& line);
  bool TcpSend(const std::string& address, int port, const std::string& file);
  bool FtpSend(const std::string& host, const std::string& user, const std::string& password,
               const std::string& mode, int timeoutMs, const std::string& file,
               const std::string& directory);
  // The job failed: it goes back with the time of this attempt.
  void Requeue(int index, const std::string& line);
  void Say(const std::string& text, int level) { report_(CurrentPort, text, level); }
  void SaveOrSay(bool saved);

  JobQueue& Jobs;
  Report report_;
  Timing timing_;
  int CurrentPort = -1;
  std::atomic<bool> Stopped{false};
  std::mutex wakeMutex_;
  std::condition_variable wake_;
  // TCP/IP jobs whose file was missing, already reported: not reported every 15 s again.
  std::set<std::string> missingReported_;
  std::thread thread_;
};

}  // namespace quillon::net
