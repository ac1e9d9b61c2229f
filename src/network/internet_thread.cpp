#include "network/internet_thread.h"

#include <sys/stat.h>

#include <vector>

#include "common/format.h"
#include "network/forwarding_texts.h"
#include "network/ftp_session.h"
#include "network/job_line.h"
#include "network/tcp_send.h"

namespace quillon::net {
namespace {

bool FileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The job without its time: the same job before and after a retry.
std::string JobKey(const std::string& line) {
  const size_t bar = line.find('|');
  return bar == std::string::npos ? line : line.substr(bar);
}

}  // namespace

TInternetThread::TInternetThread(JobQueue& queue, Report report, Timing timing)
    : Jobs(queue), report_(std::move(report)), timing_(timing) {
  thread_ = std::thread([this] { Execute(); });
}

TInternetThread::~TInternetThread() {
  StopNetwork();
  if (thread_.joinable()) thread_.join();
  SaveOrSay(Jobs.SaveJobs());
}

void TInternetThread::StopNetwork() {
  {
    std::lock_guard lock(wakeMutex_);
    Stopped = true;
  }
  wake_.notify_all();
}

void TInternetThread::Execute() {
  while (!Stopped) {
    ProcessJob(Jobs.SelectJob(BootMs(), timing_.retryMs));
    std::unique_lock lock(wakeMutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(timing_.passMs),
                   [this] { return Stopped.load(); });
  }
}

void TInternetThread::ProcessJob(int index) {
  if (index < 0) return;
  const std::string line = Jobs.Job(index);
  const auto port = ParseJobInt(JobValue(line, 3));
  if (!port || *port < 1 || *port > 8) return;  // never selected; the load moves such lines out
  CurrentPort = *port;
  const auto kind = ParseJobInt(JobValue(line, 2));
  if (kind && *kind == kTcpJob) {
    TcpJob(index, line);
  } else if (kind && *kind == kFtpJob) {
    FtpJob(index, line);
  } else {
    Say(txt::kBadJob, 1);
    SaveOrSay(Jobs.DeleteJob(index));
  }
}

void TInternetThread::SaveOrSay(bool saved) {
  if (!saved && CurrentPort > 0) Say(Format(txt::kJobFileWriteFailed, Jobs.jobFile()), 1);
}

void TInternetThread::Requeue(int index, const std::string& line) {
  SaveOrSay(Jobs.ReplaceJob(index, WithJobTime(line, BootMs())));
}

void TInternetThread::TcpJob(int index, const std::string& line) {
  const std::vector<std::string> v = JobValues(line);
  const auto time = ParseCounter(v[0]);
  const auto tcpPort = v.size() > 4 ? ParseJobInt(v[4]) : std::nullopt;
  if (!time || !tcpPort || v.size() < 6) {
    Say(txt::kBadJob, 1);
    SaveOrSay(Jobs.DeleteJob(index));
    return;
  }
  const std::string& address = v[3];
  const std::string& file = v[5];
  // A file that is gone stays gone for a while: tried again, but told once per job.
  const std::string key = JobKey(line);
  if (!FileExists(file) && missingReported_.count(key) > 0) {
    Requeue(index, line);
    return;
  }
  if (TcpSend(address, *tcpPort, file)) {
    missingReported_.erase(key);
    SaveOrSay(Jobs.DeleteJob(index));
    Say(Format(txt::kTcpSent, file, address, *tcpPort), 1);
    return;
  }
  if (!FileExists(file)) missingReported_.insert(key);
  Requeue(index, line);
  Say(Format(txt::kTcpSendFailed, file, address, *tcpPort), 1);
}

bool TInternetThread::TcpSend(const std::string& address, int port, const std::string& file) {
  const TcpOutcome outcome =
      TcpSendFile(address, port, file, timing_.connectMs, Stopped, [&](TcpStep step, bool ok) {
        switch (step) {
          case TcpStep::kOpen:
            Say(Format(ok ? txt::kTcpOpening : txt::kTcpOpenFailed, address, port), 2);
            break;
          case TcpStep::kSend:
            Say(Format(ok ? txt::kTcpSent : txt::kTcpSendFailed, file, address, port), 2);
            break;
          case TcpStep::kClose:
            Say(Format(txt::kTcpClosing, address, port), 2);
            if (!ok) Say(Format(txt::kTcpCloseFailed, address, port), 2);
            break;
        }
      });
  return outcome.ok();
}

void TInternetThread::FtpJob(int index, const std::string& line) {
  const std::vector<std::string> v = JobValues(line);
  const auto time = ParseCounter(v[0]);
  const auto timeoutMs = v.size() > 7 ? ParseJobInt(v[7]) : std::nullopt;
  if (!time || !timeoutMs || v.size() < 10) {
    Say(txt::kBadJob, 1);
    SaveOrSay(Jobs.DeleteJob(index));
    return;
  }
  if (FtpSend(v[3], v[4], v[5], v[6], *timeoutMs, v[8], v[9])) {
    SaveOrSay(Jobs.DeleteJob(index));
  } else {
    Requeue(index, line);
  }
  Say({}, 1);
}

bool TInternetThread::FtpSend(const std::string& host, const std::string& user,
                              const std::string& password, const std::string& mode, int timeoutMs,
                              const std::string& file, const std::string& directory) {
  const bool ascii = mode == "A";
  FtpObserver observer;
  observer.onStep = [&](FtpStep step) {
    switch (step) {
      case FtpStep::kConnect:
        Say(Format(txt::kFtpOpening, host), 1);
        break;
      case FtpStep::kChangeDir:
        Say(Format(txt::kFtpChangeDir, directory), 1);
        break;
      case FtpStep::kType:
        Say(ascii ? txt::kFtpAscii : txt::kFtpBinary, 2);
        break;
      case FtpStep::kTransfer:
        Say(Format(txt::kFtpSending, file, host), 1);
        break;
      case FtpStep::kDisconnect:
        break;  // told after the transfer's result, below
    }
  };
  const FtpOutcome outcome =
      FtpUpload({host, user, password, timeoutMs}, directory, ascii, file, Stopped, observer);
  const auto reply = [&] { Say(Format(txt::kReply, outcome.lastReply), 2); };
  if (outcome.ok) {
    Say(outcome.fileMissing ? Format(txt::kFtpFileMissing, file)
                            : Format(txt::kFtpSent, file, host),
        1);
  } else {
    switch (outcome.failedStep) {
      case FtpStep::kConnect:
        Say(Format(txt::kFtpOpenFailed, host), 1);
        break;
      case FtpStep::kChangeDir:
        Say(Format(txt::kFtpChangeDirFailed, directory), 1);
        break;
      case FtpStep::kType:
        Say(ascii ? txt::kFtpAsciiFailed : txt::kFtpBinaryFailed, 1);
        break;
      case FtpStep::kTransfer:
        Say(Format(txt::kFtpSendFailed, file, host), 1);
        break;
      case FtpStep::kDisconnect:
        break;
    }
    if (outcome.failedStep != FtpStep::kDisconnect) reply();
  }
  Say(Format(txt::kFtpClosing, host), 1);
  if (!outcome.ok && outcome.failedStep == FtpStep::kDisconnect) {
    Say(Format(txt::kFtpCloseFailed, host), 1);
    reply();
  }
  return outcome.ok;
}

}  // namespace quillon::net
