#pragma once
// One FTP session of the forwarding and of the setup dialog's test connection, over libcurl:
// connect and log in (USER, PASS), change into the directory one part at a time (CWD), set the
// transfer type (TYPE A or TYPE I), upload a file under its own name in active mode (PORT, STOR)
// or list the directory, and QUIT. The server's replies are kept; the last one is what the
// reports show.
//
// `host` is a name or address, optionally followed by ":port" (21 otherwise). Every operation
// gives up after `timeoutMs` without progress. A set stop flag ends a running operation within
// a fraction of a second; the operation then fails.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace quillon::net {

struct FtpAccount {
  std::string host;
  std::string user;
  std::string password;
  int timeoutMs = 60000;
};

// The steps of an upload or a listing, in the order they run.
enum class FtpStep { kConnect, kChangeDir, kType, kTransfer, kDisconnect };

struct FtpOutcome {
  bool ok = false;
  FtpStep failedStep = FtpStep::kConnect;  // meaningful when !ok
  bool fileMissing = false;                // Upload: the local file was not there (ok stays true)
  bool hadReply = false;                   // the server answered at all
  std::string lastReply;                   // the last reply line, without its CR LF
};

// The directory's parts, each to be entered with one CWD: one leading "\" or "/" is dropped,
// then the text up to the next "\" (or, when the rest holds no "\", up to the next "/") is a
// part; empty parts are skipped. "in/2024" and "\in\2024" give {"in", "2024"}.
std::vector<std::string> FtpDirParts(const std::string& directory);

// Callbacks of a session: `onStep` as each step begins (so that reports come in order),
// `onReply` for each reply line of the server as it arrives (without CR LF), and `onCommand`
// for each command as it goes out (without CR LF; the password is shown as "PASS ****").
// All run on the calling thread.
struct FtpObserver {
  std::function<void(FtpStep)> onStep;
  std::function<void(const std::string&)> onReply;
  std::function<void(const std::string&)> onCommand;
};

// Uploads `localFile` under its file name (without directory) into `directory` on the server.
// `asciiMode` chooses TYPE A, otherwise TYPE I. A missing local file is found after the type is
// set: the session ends with QUIT, ok is true and fileMissing is set.
[[nodiscard]] FtpOutcome FtpUpload(const FtpAccount& account, const std::string& directory,
                                   bool asciiMode, const std::string& localFile,
                                   const std::atomic<bool>& stop, const FtpObserver& observer = {});

// Lists `directory` on the server (one entry per line in `entries`), after the same connect,
// CWD and TYPE steps as an upload.
[[nodiscard]] FtpOutcome FtpList(const FtpAccount& account, const std::string& directory,
                                 bool asciiMode, std::vector<std::string>& entries,
                                 const std::atomic<bool>& stop, const FtpObserver& observer = {});

}  // namespace quillon::net
