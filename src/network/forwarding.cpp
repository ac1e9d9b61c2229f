#include "network/forwarding.h"

#include "common/format.h"
#include "network/forwarding_texts.h"
#include "network/job_line.h"

namespace quillon::net {

std::string JobFileFor(const std::string& iniPath) {
  return iniPath.substr(0, iniPath.size() >= 3 ? iniPath.size() - 3 : 0) + "job";
}

Forwarding::Forwarding(std::function<std::string()> jobFile, Report report,
                       std::function<void(const std::string&)> warn)
    : jobFile_(std::move(jobFile)), report_(std::move(report)), warn_(std::move(warn)) {}

Forwarding::~Forwarding() { StopForwarding(); }

JobQueue& Forwarding::Queue() {
  if (!queue_) {
    queue_ = std::make_unique<JobQueue>(jobFile_());
    const int moved = queue_->Load();
    const std::string& file = queue_->jobFile();
    if (moved > 0 && warn_) warn_(Format(txt::kBadJobLinesMoved, moved, file, file + ".bad"));
    if (!queue_->readable() && warn_) warn_(Format(txt::kJobFileUnreadable, file));
  }
  return *queue_;
}

void Forwarding::StartForwarding(const PortSettingsArray& settings) {
  bool anyForwarding = false;
  for (int port = 1; port <= kPortCount; ++port)
    anyForwarding = anyForwarding || settings[port].NetActive;
  std::lock_guard lock(mutex_);
  if (thread_ || !anyForwarding) return;
  thread_ = std::make_unique<TInternetThread>(Queue(), report_, timing);
}

void Forwarding::StopForwarding() {
  std::unique_ptr<TInternetThread> thread;
  {
    std::lock_guard lock(mutex_);
    thread = std::move(thread_);
  }
  // Outside the lock: receive threads may queue files meanwhile.
  thread.reset();
}

bool Forwarding::Running() {
  std::lock_guard lock(mutex_);
  return thread_ != nullptr;
}

void Forwarding::ForwardStoredFile(int port, const TQuillonOpt& opt, const std::string& file) {
  if (!opt.NetActive || (opt.NetKind != kTcpJob && opt.NetKind != kFtpJob)) return;
  std::string line;
  bool allowed = JobValueAllowed(file);
  if (opt.NetKind == kTcpJob) {
    allowed = allowed && JobValueAllowed(opt.TcpAddress);
    line = MakeTcpJob(0, port, opt.TcpAddress, opt.TcpPort, file);
  } else {
    for (const std::string* value :
         {&opt.FtpHost, &opt.FtpUser, &opt.FtpPassword, &opt.FtpMode, &opt.FtpDir})
      allowed = allowed && JobValueAllowed(*value);
    line = MakeFtpJob(0, port, opt.FtpHost, opt.FtpUser, opt.FtpPassword, opt.FtpMode,
                      opt.FtpTimeout, file, opt.FtpDir);
  }
  // A value with "|" or a line break would make one job into two or break the job file.
  if (!allowed) {
    report_(port, Format(txt::kJobValueRefused, file), 1);
    return;
  }
  bool saved = false;
  std::string jobFile;
  {
    std::lock_guard lock(mutex_);
    JobQueue& queue = Queue();
    saved = queue.AddJob(line);
    jobFile = queue.jobFile();
  }
  if (!saved) report_(port, Format(txt::kJobFileWriteFailed, jobFile), 1);
}

}  // namespace quillon::net
