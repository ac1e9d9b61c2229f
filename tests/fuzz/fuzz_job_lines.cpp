// Fuzz target: the forwarding queue's job file. The input is the file as a crash, an older
// version or a hand edit may have left it. Every line's values must read back the way they were
// cut; a job that parses must be written back by the job writer to a line that reads the same;
// and the queue loaded from the file keeps only lines with a port 1..8, in queue order, moving
// the others out, and reads back the same after it is saved.
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "network/job_line.h"
#include "network/job_queue.h"

namespace {

using namespace quillon::net;
using fuzz::Check;

std::vector<std::string> FileLines(const std::string& content) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

bool AllAllowed(const std::vector<std::string>& values) {
  return std::all_of(values.begin(), values.end(),
                     [](const std::string& v) { return JobValueAllowed(v); });
}

void CheckLine(const std::string& line) {
  const std::vector<std::string> v = JobValues(line);
  std::string joined;
  for (size_t i = 0; i < v.size(); ++i) {
    Check(v[i].find('|') == std::string::npos);
    Check(JobValue(line, i + 1) == v[i]);
    joined += (i > 0 ? "|" : "") + v[i];
  }
  Check(joined == line && JobValue(line, v.size() + 1).empty());
  const std::vector<std::string> timed = JobValues(WithJobTime(line, 4711));
  Check(timed.size() == v.size() && timed[0] == "4711" &&
        std::equal(v.begin() + 1, v.end(), timed.begin() + 1));
  const auto time = ParseCounter(v[0]);
  if (time) Check(ParseCounter(std::to_string(*time)) == time);
  const auto kind = v.size() > 1 ? ParseJobInt(v[1]) : std::nullopt;
  const auto port = v.size() > 2 ? ParseJobInt(v[2]) : std::nullopt;
  if (!time || !kind || !port) return;
  if (*kind == kTcpJob && v.size() >= 6) {
    const auto tcpPort = ParseJobInt(v[4]);
    if (!tcpPort || !AllAllowed({v[3], v[5]})) return;
    const std::vector<std::string> again =
        JobValues(MakeTcpJob(*time, *port, v[3], *tcpPort, v[5]));
    Check(again.size() == 6 && ParseCounter(again[0]) == time && ParseJobInt(again[2]) == port &&
          again[3] == v[3] && ParseJobInt(again[4]) == tcpPort && again[5] == v[5]);
  }
  if (*kind == kFtpJob && v.size() >= 10) {
    const auto timeout = ParseJobInt(v[7]);
    if (!timeout) return;
    const std::vector<std::string> again =
        JobValues(MakeFtpJob(*time, *port, v[3], v[4], v[5], v[6], *timeout, v[8], v[9]));
    Check(again.size() == 10 && ParseCounter(again[0]) == time && ParseJobInt(again[2]) == port &&
          ParseJobInt(again[7]) == timeout);
    for (const size_t k : {3, 4, 5, 6, 8, 9}) Check(again[k] == v[k]);
  }
}

void CheckQueue(const std::string& content, const std::vector<std::string>& lines) {
  const fuzz::ScratchFile file("quillon.job", content);
  JobQueue queue(file.path());
  const int moved = queue.Load();
  const std::vector<std::string> jobs = queue.Jobs();
  Check(queue.readable() && moved >= 0);
  Check(jobs.size() + static_cast<size_t>(moved) == lines.size());
  Check(std::is_sorted(jobs.begin(), jobs.end(), JobLess));
  for (const std::string& job : jobs) {
    const auto port = ParseJobInt(JobValue(job, 3));
    Check(port && *port >= 1 && *port <= 8);
  }
  const int due = queue.SelectJob(1000, 15000);
  Check(due >= -1 && due < static_cast<int>(jobs.size()));
  Check(queue.SaveJobs());
  JobQueue reloaded(file.path());
  Check(reloaded.Load() == 0 && reloaded.Jobs() == jobs);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string content(fuzz::Text(data, size));
  const std::vector<std::string> lines = FileLines(content);
  for (const std::string& line : lines) CheckLine(line);
  CheckQueue(content, lines);
  return 0;
}
