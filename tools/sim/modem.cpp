#include "modem.h"

#include <cctype>

#include "output.h"
#include "terminal.h"

namespace sim {
namespace {

constexpr int kWriteTimeoutMs = 5000;
// The receiver reads a password for up to 10 s and answers afterwards.
constexpr int kPasswordAnswerMs = 15000;
constexpr std::string_view kEscape = "+++";
constexpr std::string_view kAccepted = "KENNWORT OK";
constexpr std::string_view kRejected = "KENNWORT NICHT OK";

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Without surrounding blanks and control characters.
std::string Trimmed(const std::string& text) {
  const auto keep = [](char c) { return static_cast<unsigned char>(c) > ' '; };
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && !keep(text[begin])) ++begin;
  while (end > begin && !keep(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

class Modem {
 public:
  Modem(Session& s, const std::string& sendContent)
      : s_(s), o_(s.options), sendContent_(sendContent) {}

  bool Run() {
    const auto forever = Clock::time_point::max();
    nextRing_ = Clock::now() + std::chrono::milliseconds(o_.ringAfterMs);
    Clock::time_point lastByte = Clock::now();
    while (callsDone_ < o_.calls) {
      // Ring only while idle: no call up and no command half received.
      const bool ringing = !callUp_ && pending_.empty();
      const bool escaping = pending_ == kEscape;
      const auto escapeAt = lastByte + std::chrono::milliseconds(o_.guardTimeMs);
      const auto deadline = escaping ? escapeAt : ringing ? nextRing_ : forever;
      std::uint8_t b = 0;
      const Io io = s_.line.ReadByte(deadline, b);
      if (io == Io::kTimeout) {
        if (escaping) {
          Say("ESCAPE");
          pending_.clear();
          online_ = false;
        } else if (ringing && !Ring()) {
          return false;
        }
        continue;
      }
      if (io != Io::kOk) return s_.Fail("Modem: " + Describe(io));
      lastByte = Clock::now();
      if (online_) {
        // Data of the connection; only the escape sequence matters.
        pending_ += static_cast<char>(b);
        if (kEscape.substr(0, pending_.size()) != pending_) pending_ = b == '+' ? "+" : "";
        continue;
      }
      if (b != '\r' && b != '\n') {
        pending_ += static_cast<char>(b);
        continue;
      }
      const std::string line = pending_;
      pending_.clear();
      if (line.size() >= 2 && Upper(line.substr(0, 2)) == "AT" && !Command(line)) return false;
    }
    return !rejected_ || s_.Fail("Das Passwort wurde abgelehnt");
  }

 private:
  bool Send(const std::string& text) {
    const Io io = s_.line.Write(text + "\r\n", kWriteTimeoutMs);
    return io == Io::kOk || s_.Fail("Modem: " + Describe(io));
  }

  bool Ring() {
    if (!Send(o_.ringText)) return false;
    Say("RING");
    nextRing_ = Clock::now() + std::chrono::milliseconds(o_.ringAfterMs);
    return true;
  }

  bool Command(const std::string& command) {
    Say("AT " + Printable(command));
    bool ok = true;
    if (!o_.noAnswer) {
      if (o_.echo && !Send(command)) return false;
      const std::string upper = Upper(command);
      if (upper == "ATA") {
        ok = Answer();
      } else if (upper == "ATH" || upper == "ATH0") {
        ok = Send(o_.okAnswer);
        Say("HANGUP");
        online_ = false;
        if (callUp_) ++callsDone_;
        callUp_ = false;
      } else {
        ok = Send(o_.okAnswer);
      }
    }
    nextRing_ = Clock::now() + std::chrono::milliseconds(o_.ringAfterMs);
    return ok;
  }

  // ATA: the call is taken or refused; a taken call goes on with the caller.
  bool Answer() {
    callUp_ = true;
    if (o_.failAnswer) {
      if (!Send(*o_.failAnswer)) return false;
      Say("REFUSED");
      return true;
    }
    if (!Send(o_.connectAnswer)) return false;
    Say("CONNECTED");
    online_ = true;
    bool accepted = true;
    if (o_.password && !SendPassword(accepted)) return false;
    return !accepted || RunTerminal(s_, sendContent_);
  }

  // Sends the password and reads the receiver's verdict, skipping other lines (such as the
  // connection identifier "BEREIT").
  bool SendPassword(bool& accepted) {
    const Io io = s_.line.Write(*o_.password + "\r", kWriteTimeoutMs);
    if (io != Io::kOk) return s_.Fail("Passwort: " + Describe(io));
    const auto deadline = Clock::now() + std::chrono::milliseconds(kPasswordAnswerMs);
    std::string line;
    for (;;) {
      std::uint8_t b = 0;
      const Io r = s_.line.ReadByte(deadline, b);
      if (r != Io::kOk) return s_.Fail("Antwort auf das Passwort: " + Describe(r));
      if (b != '\r' && b != '\n') {
        line += static_cast<char>(b);
        continue;
      }
      const std::string answer = Trimmed(line);
      line.clear();
      if (answer == kAccepted || answer == kRejected) {
        accepted = answer == kAccepted;
        Say(accepted ? "PASSWORD OK" : "PASSWORD REJECTED");
        rejected_ = rejected_ || !accepted;
        return true;
      }
    }
  }

  Session& s_;
  const Options& o_;
  const std::string& sendContent_;
  bool online_ = false;  // connected: only "+++" is looked for
  bool callUp_ = false;  // ATA came; the call ends with ATH
  bool rejected_ = false;
  int callsDone_ = 0;
  std::string pending_;  // command line, or escape sequence, received so far
  Clock::time_point nextRing_;
};

}  // namespace

bool RunModem(Session& s, const std::string& sendContent) {
  Modem modem(s, sendContent);
  return modem.Run();
}

}  // namespace sim
