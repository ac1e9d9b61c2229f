#include "network/ftp_test_connection.h"

#include <vector>

namespace quillon::net {

namespace {

constexpr const char* kConnectLine = "CONNECT";
constexpr const char* kDisconnectLine = "DISCONNECT";
constexpr const char* kAnswerPrefix = "Antwort: ";
constexpr const char* kNoAnswer = "Keine Antwort erhalten";
constexpr const char* kReadingDirectory = "Lese Vezeichnis ein...";
constexpr const char* kTypeAscii = "TYPE A";
constexpr const char* kTypeBinary = "TYPE I";

// Follows a session's commands and replies: every command the transcript names opens an
// item, which the answer to that command closes. Replies to the commands libcurl adds on its
// own (PWD, PORT, QUIT, its own TYPE A before the listing) are not answers of any item.
class Transcript {
 public:
  explicit Transcript(bool asciiMode) : asciiMode_(asciiMode) {}

  FtpObserver Observer() {
    FtpObserver observer;
    observer.onStep = [this](FtpStep step) {
      if (step == FtpStep::kConnect) Open(kConnectLine);
    };
    observer.onCommand = [this](const std::string& command) { CommandOut(command); };
    observer.onReply = [this](const std::string& reply) {
      if (countsAsAnswer_) answer_ = reply;
    };
    return observer;
  }

  std::string Finish(const FtpOutcome& outcome, const std::vector<std::string>& entries) {
    if (!outcome.hadReply) return std::string(kConnectLine) + "\r\n" + kNoAnswer;
    if (!outcome.ok) answer_ = outcome.lastReply;
    Close();
    if (outcome.ok) lines_.insert(lines_.end(), entries.begin(), entries.end());
    lines_.push_back(kDisconnectLine);
    std::string text;
    for (const std::string& line : lines_) text += (text.empty() ? "" : "\r\n") + line;
    return text;
  }

 private:
  void CommandOut(const std::string& command) {
    const std::string word = command.substr(0, command.find(' '));
    const bool repeatedType = word == "TYPE" && typeSent_;
    countsAsAnswer_ =
        word != "PWD" && word != "PORT" && word != "EPRT" && word != "QUIT" && !repeatedType;
    if (word == "CWD") {
      Open(command);
    } else if (word == "TYPE" && !repeatedType) {
      typeSent_ = true;
      Open(asciiMode_ ? kTypeAscii : kTypeBinary);
    } else if (word == "LIST" || word == "NLST") {
      Open(kReadingDirectory);
    }
  }

  void Open(const std::string& line) {
    Close();
    lines_.push_back(line);
    itemOpen_ = true;
    answer_.clear();
  }

  void Close() {
    if (itemOpen_) lines_.push_back(kAnswerPrefix + answer_);
    itemOpen_ = false;
  }

  bool asciiMode_;
  bool itemOpen_ = false;
  bool countsAsAnswer_ = true;
  bool typeSent_ = false;
  std::string answer_;
  std::vector<std::string> lines_;
};

}  // namespace

std::string RunFtpTestConnection(const FtpAccount& account, const std::string& directory,
                                 bool asciiMode, const std::atomic<bool>& stop) {
  Transcript transcript(asciiMode);
  std::vector<std::string> entries;
  const FtpOutcome outcome =
      FtpList(account, directory, asciiMode, entries, stop, transcript.Observer());
  return transcript.Finish(outcome, entries);
}

}  // namespace quillon::net
