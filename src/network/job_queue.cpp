#include "network/job_queue.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "common/file_io.h"
#include "network/job_line.h"

namespace quillon::net {
namespace {

void InsertSorted(std::vector<std::string>& list, const std::string& line) {
  list.insert(std::upper_bound(list.begin(), list.end(), line, JobLess), line);
}

bool PortValid(const std::string& line) {
  const auto port = ParseJobInt(JobValue(line, 3));
  return port && *port >= 1 && *port <= 8;
}

// Appends `lines` to `path` and syncs it: lines that are moved out are never lost.
bool AppendLines(const std::string& path, const std::vector<std::string>& lines) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  bool ok = true;
  for (size_t done = 0; ok && done < bytes.size();) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = fsync(fd) == 0 && ok;
  return close(fd) == 0 && ok;
}

}  // namespace

JobQueue::JobQueue(std::string jobFile) : JobFile(std::move(jobFile)) {}

int JobQueue::Load() {
  std::lock_guard lock(JobLock);
  JobList.clear();
  const auto content = ReadWholeFile(JobFile);
  if (!content) {
    readable_ = errno == ENOENT;
    return 0;
  }
  std::vector<std::string> bad;
  size_t start = 0;
  while (start < content->size()) {
    size_t end = content->find('\n', start);
    if (end == std::string::npos) end = content->size();
    std::string line = content->substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    if (line.empty()) continue;
    if (PortValid(line)) {
      InsertSorted(JobList, line);
    } else {
      bad.push_back(line);
    }
  }
  if (bad.empty()) return 0;
  // The bad lines leave the job file only once they are safe in the other one.
  if (!AppendLines(JobFile + ".bad", bad)) {
    for (const std::string& line : bad) InsertSorted(JobList, line);
    return 0;
  }
  (void)WriteLocked();
  return static_cast<int>(bad.size());
}

bool JobQueue::AddJob(const std::string& line) {
  std::lock_guard lock(JobLock);
  Incoming.push_back(line);
  return WriteLocked();
}

void JobQueue::MergeIncoming() {
  for (const std::string& line : Incoming) InsertSorted(JobList, line);
  Incoming.clear();
}

int JobQueue::SelectJob(uint32_t now, uint32_t retryMs) {
  std::lock_guard lock(JobLock);
  MergeIncoming();
  for (size_t i = 0; i < JobList.size(); ++i) {
    if (PortValid(JobList[i]) && JobDue(JobList[i], now, retryMs)) return static_cast<int>(i);
  }
  return -1;
}

std::string JobQueue::Job(int index) const {
  std::lock_guard lock(JobLock);
  return index >= 0 && static_cast<size_t>(index) < JobList.size()
             ? JobList[static_cast<size_t>(index)]
             : std::string();
}

bool JobQueue::DeleteJob(int index) {
  std::lock_guard lock(JobLock);
  if (index >= 0 && static_cast<size_t>(index) < JobList.size())
    JobList.erase(JobList.begin() + index);
  MergeIncoming();
  return WriteLocked();
}

bool JobQueue::ReplaceJob(int index, const std::string& replacement) {
  std::lock_guard lock(JobLock);
  if (index >= 0 && static_cast<size_t>(index) < JobList.size())
    JobList.erase(JobList.begin() + index);
  InsertSorted(JobList, replacement);
  MergeIncoming();
  return WriteLocked();
}

bool JobQueue::SaveJobs() {
  std::lock_guard lock(JobLock);
  MergeIncoming();
  return WriteLocked();
}

std::vector<std::string> JobQueue::Jobs() const {
  std::lock_guard lock(JobLock);
  std::vector<std::string> all = JobList;
  for (const std::string& line : Incoming) InsertSorted(all, line);
  return all;
}

bool JobQueue::WriteLocked() {
  // A job file that could not be read holds jobs this run does not know: it is left alone.
  if (!readable_) return false;
  std::vector<std::string> all = JobList;
  for (const std::string& line : Incoming) InsertSorted(all, line);
  if (all.empty()) return unlink(JobFile.c_str()) == 0 || errno == ENOENT;
  std::string bytes;
  for (const std::string& line : all) bytes += line + "\r\n";
  return WriteFileAtomically(JobFile, bytes);
}

}  // namespace quillon::net
