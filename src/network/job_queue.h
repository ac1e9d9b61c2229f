#pragma once
// The forwarding queue and its job file: the jobs in queue order, the jobs handed over by
// receive threads, and the file that keeps them across a restart (or a crash).
//
// Every change is in the file before the call returns, written so that a crash leaves either
// the old or the new file, never a torn one: a job that was accepted survives a kill a moment
// later. All members are guarded by one lock, held only for list work and the file write,
// never during a network step.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace quillon::net {

class JobQueue {
 public:
  // `jobFile`: where the queue is kept.
  explicit JobQueue(std::string jobFile);

  // Reads the job file. Lines whose port is not 1..8 (never written by the program) are moved
  // to "<job file>.bad": they could neither be worked nor stay without blocking the queue.
  // Returns how many were moved. A job file that cannot be read leaves the queue empty and is
  // never written over in this run (`readable` false).
  int Load();
  bool readable() const { return readable_; }

  // A receive thread hands over one job: appended to `Incoming` and written to the job file.
  // False when the file could not be written (the job stays queued in memory).
  [[nodiscard]] bool AddJob(const std::string& line);

  // The worker's side. `SelectJob` merges `Incoming` and gives the first due job's index, or -1.
  int SelectJob(uint32_t now, uint32_t retryMs);
  std::string Job(int index) const;
  // Removes the job; false when the job file could not be written.
  [[nodiscard]] bool DeleteJob(int index);
  // Removes the job and queues `replacement` (the same job with its new time) instead.
  [[nodiscard]] bool ReplaceJob(int index, const std::string& replacement);
  // Merges `Incoming` and writes the file (deleted when the queue is empty).
  [[nodiscard]] bool SaveJobs();

  std::vector<std::string> Jobs() const;
  const std::string& jobFile() const { return JobFile; }

 private:
  void MergeIncoming();
  bool WriteLocked();

  const std::string JobFile;
  mutable std::mutex JobLock;
  std::vector<std::string> JobList;  // sorted by JobLess, duplicates allowed
  std::vector<std::string> Incoming;
  bool readable_ = true;
};

}  // namespace quillon::net
