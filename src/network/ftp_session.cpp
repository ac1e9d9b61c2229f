// The FTP session over libcurl. One operation is one libcurl transfer on a fresh connection
// that is closed (with QUIT) when the transfer ends: log in, one CWD per directory part, then
// either PORT, TYPE and STOR/LIST, or - when the local file is missing - only the TYPE command.
// The steps are followed from the commands as they go out (the debug callback), the replies
// from the header callback. The transfer runs on a multi handle polled in short slices so that
// the stop flag ends it promptly even while libcurl waits for the server.
#include "network/ftp_session.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>

namespace quillon::net {

namespace {

constexpr int kPollSliceMs = 100;
constexpr std::size_t kMaxReplyLine = 1000;           // a longer reply line is cut
constexpr std::size_t kMaxListing = 4 * 1024 * 1024;  // a longer listing fails the transfer

void EnsureCurlInitialised() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Host names and addresses, optionally with ":port" or as "[v6]:port"; anything that could
// change the meaning of the URL (user info, path, query) is refused.
bool IsPlainHost(const std::string& host) {
  if (host.empty() || host.size() > 255) return false;
  return std::all_of(host.begin(), host.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_' || c == ':' || c == '[' || c == ']';
  });
}

std::string Escaped(CURL* easy, const std::string& text) {
  char* escaped = curl_easy_escape(easy, text.data(), static_cast<int>(text.size()));
  std::string result = escaped ? escaped : "";
  curl_free(escaped);
  return result;
}

std::string WithoutLineEnd(const char* data, std::size_t size) {
  std::string line(data, size);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (line.size() > kMaxReplyLine) line.resize(kMaxReplyLine);
  return line;
}

struct CurlHandles {
  CURL* easy = curl_easy_init();
  curl_slist* postQuote = nullptr;
  ~CurlHandles() {
    if (easy) curl_easy_cleanup(easy);
    curl_slist_free_all(postQuote);
  }
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// What one operation is about: its commands, replies and the step it has reached.
class Session {
 public:
  Session(const std::atomic<bool>& stop, const FtpObserver& observer)
      : stop_(stop), observer_(observer) {}

  // Announces `step` and any step before it not yet announced. The disconnect is announced
  // once the work has ended: libcurl sends QUIT while it finishes the transfer, before the
  // outcome (and so a failed step the caller must hear of first) is known.
  void Begin(FtpStep step) {
    if (step == FtpStep::kDisconnect) {
      if (observer_.onStep) observer_.onStep(step);
      return;
    }
    while (!begun_ || current_ < step) {
      current_ = begun_ ? static_cast<FtpStep>(static_cast<int>(current_) + 1) : FtpStep::kConnect;
      begun_ = true;
      if (observer_.onStep) observer_.onStep(current_);
    }
  }

  void CommandOut(const std::string& line) {
    const std::string word = line.substr(0, line.find(' '));
    if (word == "QUIT") quitSent_ = true;
    if (word == "CWD")
      Begin(FtpStep::kChangeDir);
    else if (word == "TYPE")
      Begin(FtpStep::kType);
    else if (word == "STOR" || word == "LIST" || word == "NLST")
      Begin(FtpStep::kTransfer);
    if (observer_.onCommand) observer_.onCommand(word == "PASS" ? "PASS ****" : line);
  }

  void ReplyIn(const std::string& line) {
    outcome_.hadReply = true;
    if (!quitSent_) outcome_.lastReply = line;  // the reports show what the work ended with
    if (observer_.onReply) observer_.onReply(line);
  }

  bool AddListing(const char* data, std::size_t size) {
    if (listing_.size() + size > kMaxListing) return false;
    listing_.append(data, size);
    return true;
  }

  std::vector<std::string> ListedEntries() const {
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start < listing_.size()) {
      std::size_t end = listing_.find('\n', start);
      if (end == std::string::npos) end = listing_.size();
      std::string entry = listing_.substr(start, end - start);
      if (!entry.empty() && entry.back() == '\r') entry.pop_back();
      if (!entry.empty()) entries.push_back(std::move(entry));
      start = end + 1;
    }
    return entries;
  }

  ~Session() {
    if (multi_) curl_multi_cleanup(multi_);
  }

  // Runs the prepared transfer and records how it ended. `lastStep` is the step that the
  // work reaches when it goes well.
  void Run(CURL* easy, FtpStep lastStep) {
    Begin(FtpStep::kConnect);
    Finish(Perform(easy), lastStep);
  }

  // Runs one transfer. Transfers of one session share the multi handle and so the
  // connection, as long as a transfer leaves it open.
  CURLcode Perform(CURL* easy) {
    if (!multi_) multi_ = curl_multi_init();
    if (!multi_) return CURLE_OUT_OF_MEMORY;
    curl_multi_add_handle(multi_, easy);
    CURLcode result = CURLE_OK;
    for (bool done = false; !done;) {
      if (stop_.load()) {
        result = CURLE_ABORTED_BY_CALLBACK;
        break;
      }
      int running = 0;
      if (curl_multi_perform(multi_, &running) != CURLM_OK) {
        result = CURLE_FAILED_INIT;
        break;
      }
      int queued = 0;
      while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
        if (message->msg == CURLMSG_DONE) {
          result = message->data.result;
          done = true;
        }
      }
      if (!done && running == 0) break;
      if (!done) curl_multi_poll(multi_, nullptr, 0, kPollSliceMs, nullptr);
    }
    curl_multi_remove_handle(multi_, easy);
    return result;
  }

  // Records the outcome of the work and announces the disconnect.
  void Finish(CURLcode result, FtpStep lastStep) {
    if (result == CURLE_OK) {
      outcome_.ok = true;
      Begin(lastStep);
    } else {
      outcome_.failedStep = StepOfFailure(result);
      Begin(outcome_.failedStep);
    }
    Begin(FtpStep::kDisconnect);
  }

  void Fail(FtpStep step) {
    outcome_.ok = false;
    outcome_.failedStep = step;
  }

  const std::atomic<bool>& stop() const { return stop_; }
  FtpOutcome& outcome() { return outcome_; }

 private:
  // The step a failure belongs to: the step under way, except that a failure of the data
  // connection belongs to the transfer even though libcurl opens it before sending TYPE.
  FtpStep StepOfFailure(CURLcode result) const {
    if (!begun_ || current_ == FtpStep::kConnect) return FtpStep::kConnect;
    switch (result) {
      case CURLE_FTP_COULDNT_SET_TYPE:
        return std::max(current_, FtpStep::kType);
      case CURLE_FTP_PORT_FAILED:
      case CURLE_FTP_ACCEPT_FAILED:
      case CURLE_FTP_ACCEPT_TIMEOUT:
      case CURLE_UPLOAD_FAILED:
      case CURLE_READ_ERROR:
      case CURLE_WRITE_ERROR:
      case CURLE_PARTIAL_FILE:
        return FtpStep::kTransfer;
      default:
        return current_;
    }
  }

  const std::atomic<bool>& stop_;
  const FtpObserver& observer_;
  FtpOutcome outcome_;
  CURLM* multi_ = nullptr;
  FtpStep current_ = FtpStep::kConnect;
  bool begun_ = false;
  bool quitSent_ = false;
  std::string listing_;
};

int OnDebug(CURL*, curl_infotype type, char* data, std::size_t size, void* user) {
  if (type == CURLINFO_HEADER_OUT)
    static_cast<Session*>(user)->CommandOut(WithoutLineEnd(data, size));
  return 0;
}

std::size_t OnReply(char* data, std::size_t size, std::size_t count, void* user) {
  static_cast<Session*>(user)->ReplyIn(WithoutLineEnd(data, size * count));
  return size * count;
}

std::size_t OnListing(char* data, std::size_t size, std::size_t count, void* user) {
  return static_cast<Session*>(user)->AddListing(data, size * count) ? size * count : 0;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<Session*>(user)->stop().load() ? 1 : 0;
}

long Seconds(int ms) { return std::max(1L, (static_cast<long>(ms) + 999) / 1000); }

// The settings every operation shares: the URL of `directory` (plus `fileName`, if any) on the
// host, the account, active mode with PORT, one CWD per part, the time-outs, the callbacks,
// and nothing that would reach anything but the given host.
bool Prepare(CURL* easy, Session& session, const FtpAccount& account, const std::string& directory,
             const std::string& fileName) {
  if (!easy || !IsPlainHost(account.host)) return false;
  std::string url = "ftp://" + account.host + "/";
  for (const std::string& part : FtpDirParts(directory)) url += Escaped(easy, part) + "/";
  url += Escaped(easy, fileName);
  const int timeoutMs = std::max(account.timeoutMs, 1000);
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_PROXY, "");
  curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(easy, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_IGNORED));
  curl_easy_setopt(easy, CURLOPT_USERNAME, account.user.c_str());
  curl_easy_setopt(easy, CURLOPT_PASSWORD, account.password.c_str());
  curl_easy_setopt(easy, CURLOPT_FTPPORT, "-");
  curl_easy_setopt(easy, CURLOPT_FTP_USE_EPRT, 0L);
  curl_easy_setopt(easy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_MULTICWD));
  curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs));
  curl_easy_setopt(easy, CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(timeoutMs));
  curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, Seconds(timeoutMs));
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, Seconds(timeoutMs));
  curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L);  // the debug callback sees the commands
  curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, OnDebug);
  curl_easy_setopt(easy, CURLOPT_DEBUGDATA, &session);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnReply);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &session);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &session);
  return true;
}

// Enters the directory and sets the type without transferring anything.
void PrepareTypeOnly(CurlHandles& handles, bool asciiMode) {
  handles.postQuote = curl_slist_append(nullptr, asciiMode ? "TYPE A" : "TYPE I");
  curl_easy_setopt(handles.easy, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(handles.easy, CURLOPT_POSTQUOTE, handles.postQuote);
}

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Opens the local file for the upload; `missing` tells a file that is not there from one that
// cannot be read.
FilePtr OpenLocalFile(const std::string& path, bool& missing, curl_off_t& size) {
  missing = false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    missing = errno == ENOENT || errno == ENOTDIR;
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  size = info.st_size;
  FilePtr file(::fdopen(fd, "rb"));
  if (!file) ::close(fd);
  return file;
}

}  // namespace

std::vector<std::string> FtpDirParts(const std::string& directory) {
  std::string rest = directory;
  if (!rest.empty() && (rest.front() == '\\' || rest.front() == '/')) rest.erase(0, 1);
  std::vector<std::string> parts;
  while (!rest.empty()) {
    const char separator = rest.find('\\') != std::string::npos ? '\\' : '/';
    const auto end = rest.find(separator);
    std::string part = rest.substr(0, end);
    rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    if (!part.empty()) parts.push_back(std::move(part));
  }
  return parts;
}

FtpOutcome FtpUpload(const FtpAccount& account, const std::string& directory, bool asciiMode,
                     const std::string& localFile, const std::atomic<bool>& stop,
                     const FtpObserver& observer) {
  EnsureCurlInitialised();
  Session session(stop, observer);
  bool missing = false;
  curl_off_t size = 0;
  FilePtr file = OpenLocalFile(localFile, missing, size);
  CurlHandles handles;
  const std::string remoteName = file ? BaseName(localFile) : std::string();
  if (!Prepare(handles.easy, session, account, directory, remoteName)) {
    session.Begin(FtpStep::kConnect);
    session.Begin(FtpStep::kDisconnect);
    session.Fail(FtpStep::kConnect);
    return session.outcome();
  }
  if (file) {
    curl_easy_setopt(handles.easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handles.easy, CURLOPT_TRANSFERTEXT, asciiMode ? 1L : 0L);
    curl_easy_setopt(handles.easy, CURLOPT_READDATA, file.get());
    curl_easy_setopt(handles.easy, CURLOPT_INFILESIZE_LARGE, size);
  } else {
    PrepareTypeOnly(handles, asciiMode);
  }
  // Without a file the transfer step begins once the type is set, and finds nothing to send.
  session.Run(handles.easy, FtpStep::kTransfer);
  FtpOutcome outcome = session.outcome();
  if (!file && outcome.ok) {
    outcome.fileMissing = missing;
    if (!missing) {  // there but unreadable: the transfer fails without reaching the server
      outcome.ok = false;
      outcome.failedStep = FtpStep::kTransfer;
    }
  }
  return outcome;
}

FtpOutcome FtpList(const FtpAccount& account, const std::string& directory, bool asciiMode,
                   std::vector<std::string>& entries, const std::atomic<bool>& stop,
                   const FtpObserver& observer) {
  EnsureCurlInitialised();
  entries.clear();
  Session session(stop, observer);
  CurlHandles handles;
  if (!Prepare(handles.easy, session, account, directory, "")) {
    session.Begin(FtpStep::kConnect);
    session.Begin(FtpStep::kDisconnect);
    session.Fail(FtpStep::kConnect);
    return session.outcome();
  }
  // libcurl lists after a TYPE A of its own. So that the chosen type is what the server is
  // asked for, a first transfer only enters the directory and sets that type and keeps the
  // connection; the listing follows on it (libcurl skips the CWDs into the same directory).
  session.Begin(FtpStep::kConnect);
  PrepareTypeOnly(handles, asciiMode);
  curl_easy_setopt(handles.easy, CURLOPT_FORBID_REUSE, 0L);
  CURLcode result = session.Perform(handles.easy);
  if (result == CURLE_OK) {
    curl_easy_setopt(handles.easy, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(handles.easy, CURLOPT_POSTQUOTE, nullptr);
    curl_easy_setopt(handles.easy, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(handles.easy, CURLOPT_WRITEFUNCTION, OnListing);
    curl_easy_setopt(handles.easy, CURLOPT_WRITEDATA, &session);
    result = session.Perform(handles.easy);
  }
  session.Finish(result, FtpStep::kTransfer);
  if (session.outcome().ok) entries = session.ListedEntries();
  return session.outcome();
}

}  // namespace quillon::net
