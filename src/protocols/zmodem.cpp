#include "protocols/zmodem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "common/clock.h"
#include "protocols/zmodem_frames.h"

namespace quillon::xyz {
namespace {

using namespace zmodem;

constexpr uint32_t kSubpacketLength = 1024;
constexpr int kSubpacketsPerWrite = 4;
constexpr size_t kReadChunk = 64 * 1024;
constexpr size_t kWriteBuffer = 64 * 1024;
constexpr int kMaxErrors = 20;        // damaged pieces in a row before a side gives up
constexpr int kMaxIdleHeaders = 100;  // headers in a row that bring no data
// How long a receiver waits for the sender's "OO". It is a courtesy that often never arrives (a
// sender on a pseudo-terminal may flush it away as it exits), and the file is complete by then.
constexpr int kOverAndOutMs = 200;
constexpr size_t kInputCapacity = 64 * 1024;

// Bytes from the line, kept until a decoder has used them.
class Input {
 public:
  explicit Input(Line& line) : line_(line), buffer_(kInputCapacity) {}

  const uint8_t* data() const { return buffer_.data() + start_; }
  size_t size() const { return end_ - start_; }
  void Consume(size_t count) {
    start_ += count;
    if (start_ >= end_) start_ = end_ = 0;
  }
  // One read of what arrives within `timeoutMs`: the count, 0 after the time-out, -1 when the
  // line is gone or the wait was woken.
  int Fill(int timeoutMs) {
    if (start_ > 0) {
      std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
      end_ -= start_;
      start_ = 0;
    }
    // Full without anything a decoder could use (only line noise): it goes.
    if (end_ == buffer_.size()) end_ = 0;
    const int n =
        line_.Read(buffer_.data() + end_, static_cast<int>(buffer_.size() - end_), timeoutMs);
    if (n > 0) end_ += static_cast<size_t>(n);
    return n;
  }

 private:
  Line& line_;
  std::vector<uint8_t> buffer_;
  size_t start_ = 0;
  size_t end_ = 0;
};

enum class Got { kHeader, kSubpacket, kBad, kTimeout, kGone, kCancelled };

int MsLeft(uint64_t deadline) {
  const uint64_t now = Clock();
  return now >= deadline ? 0 : static_cast<int>(deadline - now);
}

// The next header within `timeoutMs`; garbage and damaged headers before it are skipped.
Got WaitHeader(Input& in, int timeoutMs, Header& header) {
  const uint64_t deadline = Clock() + static_cast<uint64_t>(timeoutMs);
  for (;;) {
    const HeaderScan scan = ScanHeader(in.data(), in.size());
    in.Consume(scan.consumed);
    if (scan.result == Decoded::kComplete) {
      header = scan.header;
      return Got::kHeader;
    }
    if (scan.result == Decoded::kCancelled) return Got::kCancelled;
    if (scan.result == Decoded::kBad) continue;
    const int left = MsLeft(deadline);
    if (left == 0) return Got::kTimeout;
    const int n = in.Fill(left);
    if (n == 0) return Got::kTimeout;
    if (n < 0) return Got::kGone;
  }
}

Got WaitSubpacket(Input& in, bool crc32, int timeoutMs, std::vector<uint8_t>& data, uint8_t& end) {
  const uint64_t deadline = Clock() + static_cast<uint64_t>(timeoutMs);
  for (;;) {
    const SubpacketScan scan = DecodeSubpacket(in.data(), in.size(), crc32, data);
    if (scan.result != Decoded::kNeedMore) in.Consume(scan.consumed);
    if (scan.result == Decoded::kComplete) {
      end = scan.end;
      return Got::kSubpacket;
    }
    if (scan.result == Decoded::kBad) return Got::kBad;
    if (scan.result == Decoded::kCancelled) return Got::kCancelled;
    const int left = MsLeft(deadline);
    if (left == 0) return Got::kTimeout;
    const int n = in.Fill(left);
    if (n == 0) return Got::kTimeout;
    if (n < 0) return Got::kGone;
  }
}

// Eight CAN end the peer's transfer; the backspaces take them out of a peer's command line.
bool SendCancel(Line& line) {
  static const std::string kCancelSequence = std::string(8, '\x18') + std::string(10, '\x08');
  return line.Write(kCancelSequence);
}

class Endpoint {
 protected:
  explicit Endpoint(Line& line) : line_(line), in_(line) {}

  bool Send(const Header& header) {
    out_.clear();
    AppendHeader(out_, header);
    return line_.Write(out_.data(), out_.size());
  }
  static Header Hex(Header header) {
    header.format = HeaderFormat::kHex;
    return header;
  }

  Line& line_;
  Input in_;
  std::vector<uint8_t> out_;
};

// ---------------------------------------------------------------- receiving

class Receiver : Endpoint {
 public:
  Receiver(Line& line, const std::string& target, std::string& senderName, const Progress& progress,
           const ZmodemTiming& timing)
      : Endpoint(line),
        target_(target),
        senderName_(senderName),
        progress_(progress),
        timing_(timing) {}

  int Run() {
    senderName_.clear();
    const int result = Exchange();
    if (result != kDone || !complete_) {
      if (fd_ >= 0) close(fd_);
      fd_ = -1;
      if (created_) unlink(target_.c_str());
    }
    return result;
  }

 private:
  static constexpr int kGoOn = 0;

  static Header Zrinit() { return Hex(Header::WithFlags(kZrinit, kCanFdx | kCanOvio | kCanFc32)); }

  int Exchange() {
    repeat_ = Zrinit();
    if (!Send(repeat_)) return kFailed;
    for (;;) {
      Header header;
      const Got got = WaitHeader(in_, timing_.silenceMs, header);
      // After the end of the file only the goodbye is missing: the file stays.
      if (got == Got::kCancelled) return complete_ ? kDone : kFailed;
      if (got == Got::kGone) return complete_ ? kDone : kAborted;
      if (got == Got::kTimeout) {
        const int result = OnSilence();
        if (result != kGoOn) return result;
        continue;
      }
      silent_ = 0;
      // A peer that talks without ever sending data (ZRQINIT again and again) ends as well.
      if (++idleHeaders_ > kMaxIdleHeaders) {
        (void)SendCancel(line_);
        return complete_ ? kDone : kFailed;
      }
      const int result = OnHeader(header);
      if (result != kGoOn) return result;
    }
  }

  // Nothing came: the sender is asked again (ZRINIT or ZRPOS), up to a limit.
  int OnSilence() {
    if (progress_(static_cast<int32_t>(received_), 0, nullptr, fileLength_) == -1) {
      (void)SendCancel(line_);
      return kAborted;
    }
    if (++silent_ >= timing_.silentTries) {
      if (complete_) return kDone;  // the file is whole; only the goodbye went missing
      (void)SendCancel(line_);
      return kTimeout;
    }
    return Send(repeat_) ? kGoOn : kFailed;
  }

  int OnHeader(const Header& header) {
    switch (header.type) {
      case kZrqinit:
        return Send(repeat_) ? kGoOn : kFailed;
      case kZsinit:
        return OnSenderInit(header);
      case kZfile:
        return OnFile(header);
      case kZdata:
        return OnData(header);
      case kZeof:
        return OnEndOfFile(header);
      case kZfin:
        (void)Send(Hex(Header::AtPosition(kZfin, 0)));
        ReadOverAndOut();
        return complete_ ? kDone : kFailed;
      case kZabort:
      case kZferr:
        return kFailed;
      case kZcommand:  // a terminal never runs commands here
        (void)SendCancel(line_);
        return kFailed;
      default:
        return kGoOn;
    }
  }

  // Reads the data subpacket behind `header` into packet_: whether it came whole. A cancel or
  // a lost line ends the transfer instead, with `ended` set to kFailed or kAborted.
  std::optional<bool> ReadSubpacket(const Header& header, int& ended) {
    uint8_t end = 0;
    const Got got =
        WaitSubpacket(in_, header.format == HeaderFormat::kBin32, timing_.silenceMs, packet_, end);
    if (got == Got::kCancelled || got == Got::kGone) {
      ended = got == Got::kCancelled ? kFailed : kAborted;
      return std::nullopt;
    }
    return got == Got::kSubpacket;
  }

  int OnSenderInit(const Header& header) {
    int ended = kGoOn;
    const std::optional<bool> whole = ReadSubpacket(header, ended);
    if (!whole) return ended;
    return Send(Hex(Header::AtPosition(*whole ? kZack : kZnak, 0))) ? kGoOn : kFailed;
  }

  int OnFile(const Header& header) {
    int ended = kGoOn;
    const std::optional<bool> whole = ReadSubpacket(header, ended);
    if (!whole) return ended;
    if (!*whole) return Send(repeat_) ? kGoOn : kFailed;
    if (complete_) return Send(Hex(Header::AtPosition(kZskip, 0))) ? kGoOn : kFailed;
    if (created_) return AskFrom(received_);  // the sender repeated its offer
    TakeFileInfo();
    fd_ = open(target_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd_ < 0) {
      (void)SendCancel(line_);
      return kFailed;
    }
    created_ = true;
    return AskFrom(0);
  }

  // "name\0length mtime mode ...": the name (checked) and the length.
  void TakeFileInfo() {
    const auto* begin = reinterpret_cast<const char*>(packet_.data());
    const size_t nameLength = strnlen(begin, packet_.size());
    senderName_ = SenderFileName(std::string_view(begin, nameLength));
    int64_t length = 0;
    for (size_t i = nameLength + 1; i < packet_.size(); ++i) {
      const char c = begin[i];
      if (c < '0' || c > '9') break;
      length = length * 10 + (c - '0');
      if (length > INT32_MAX) length = INT32_MAX;
    }
    fileLength_ = static_cast<int32_t>(length);
  }

  int AskFrom(uint32_t position) {
    repeat_ = Hex(Header::AtPosition(kZrpos, position));
    return Send(repeat_) ? kGoOn : kFailed;
  }

  int OnData(const Header& header) {
    if (!created_ || complete_) return Send(repeat_) ? kGoOn : kFailed;
    if (header.Position() != received_) return OnError();
    const bool crc32 = header.format == HeaderFormat::kBin32;
    for (;;) {
      uint8_t end = 0;
      const Got got = WaitSubpacket(in_, crc32, timing_.silenceMs, packet_, end);
      if (got == Got::kCancelled) return kFailed;
      if (got == Got::kGone) return kAborted;
      if (got == Got::kTimeout) return OnSilence();
      if (got == Got::kBad) return OnError();
      errors_ = 0;
      silent_ = 0;
      const int result = Store(end);
      if (result != kGoOn || end == kZcrce || end == kZcrcw) return result;
    }
  }

  int Store(uint8_t end) {
    if (received_ + packet_.size() > INT32_MAX) {
      (void)SendCancel(line_);
      return kFailed;
    }
    pending_.insert(pending_.end(), packet_.begin(), packet_.end());
    if (pending_.size() >= kWriteBuffer && !Flush()) {
      (void)SendCancel(line_);
      return kFailed;
    }
    received_ += static_cast<uint32_t>(packet_.size());
    idleHeaders_ = 0;
    if (progress_(static_cast<int32_t>(received_), static_cast<int32_t>(packet_.size()),
                  packet_.data(), fileLength_) == -1) {
      (void)SendCancel(line_);
      return kAborted;
    }
    repeat_ = Hex(Header::AtPosition(kZrpos, received_));
    if (end == kZcrcq || end == kZcrcw) {
      return Send(Hex(Header::AtPosition(kZack, received_))) ? kGoOn : kFailed;
    }
    return kGoOn;
  }

  // Damage or a wrong offset: ask again from the last good byte. Whatever still comes of the
  // damaged frame is skipped by the wait for the next header.
  int OnError() {
    if (++errors_ > kMaxErrors) {
      (void)SendCancel(line_);
      return kFailed;
    }
    return AskFrom(received_);
  }

  int OnEndOfFile(const Header& header) {
    if (complete_) return Send(repeat_) ? kGoOn : kFailed;          // our ZRINIT went missing
    if (!created_ || header.Position() != received_) return kGoOn;  // stale: a ZRPOS is out
    const bool written = Flush();
    const bool closed = close(fd_) == 0;
    fd_ = -1;
    if (!written || !closed) {
      (void)SendCancel(line_);
      return kFailed;
    }
    complete_ = true;
    repeat_ = Zrinit();
    return Send(repeat_) ? kGoOn : kFailed;
  }

  bool Flush() {
    size_t done = 0;
    while (done < pending_.size()) {
      const ssize_t n = write(fd_, pending_.data() + done, pending_.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    pending_.clear();
    return true;
  }

  // The sender's last word; it may not come, so the wait is short.
  void ReadOverAndOut() {
    const uint64_t deadline = Clock() + kOverAndOutMs;
    int seen = 0;
    while (seen < 2) {
      while (in_.size() > 0 && seen < 2) {
        seen = in_.data()[0] == 'O' ? seen + 1 : 0;
        in_.Consume(1);
      }
      if (seen >= 2) return;
      const int left = MsLeft(deadline);
      if (left == 0 || in_.Fill(left) <= 0) return;
    }
  }

  std::string target_;
  std::string& senderName_;
  const Progress& progress_;
  ZmodemTiming timing_;
  Header repeat_;  // what goes out again when the sender is silent
  int fd_ = -1;
  bool created_ = false;
  bool complete_ = false;
  uint32_t received_ = 0;
  int32_t fileLength_ = 0;
  int silent_ = 0;
  int errors_ = 0;
  int idleHeaders_ = 0;
  std::vector<uint8_t> packet_;
  std::vector<uint8_t> pending_;
};

// ---------------------------------------------------------------- sending

class Sender : Endpoint {
 public:
  Sender(Line& line, const std::string& path, const Progress& progress, const ZmodemTiming& timing)
      : Endpoint(line), path_(path), progress_(progress), timing_(timing) {}

  ~Sender() {
    if (fd_ >= 0) close(fd_);
  }

  int Run() {
    fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd_ < 0 || fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > INT32_MAX) {
      return kFailed;
    }
    size_ = static_cast<uint32_t>(info.st_size);
    int result = AwaitReceiver();
    if (result != kGoOn) return result;
    result = OfferFile(info);
    if (result != kGoOn) return result;
    result = Deliver();
    if (result != kGoOn) return result;
    return SayGoodbye();
  }

 private:
  static constexpr int kGoOn = 0;
  static constexpr int kNextState = 1;

  // Waits for a header and hands it to `handle` (kGoOn: wait on, kNextState: done, else a
  // result); on silence `again` goes out once more, up to the limit of tries. The progress
  // callback hears of every silent wait (with no block), so a stop is noticed there too.
  template <typename Handler>
  int Converse(const std::vector<uint8_t>& again, Handler handle) {
    int silent = 0;
    for (int idle = 0; idle <= kMaxIdleHeaders; ++idle) {
      Header header;
      const Got got = WaitHeader(in_, timing_.silenceMs, header);
      if (got == Got::kCancelled) return kFailed;
      if (got == Got::kGone) return kAborted;
      if (got == Got::kTimeout) {
        if (progress_(static_cast<int32_t>(position_), 0, nullptr, static_cast<int32_t>(size_)) ==
            -1) {
          (void)SendCancel(line_);
          return kAborted;
        }
        if (++silent >= timing_.silentTries) return kTimeout;
        if (!line_.Write(again.data(), again.size())) return kFailed;
        continue;
      }
      silent = 0;
      if (header.type == kZabort || header.type == kZferr) return kFailed;
      const int result = handle(header);
      if (result != kGoOn) return result == kNextState ? kGoOn : result;
    }
    (void)SendCancel(line_);  // a receiver that talks on without ever answering
    return kFailed;
  }

  std::vector<uint8_t> Bytes(const Header& header) {
    std::vector<uint8_t> bytes;
    AppendHeader(bytes, header);
    return bytes;
  }

  Header Binary(Header header) const {
    header.format = crc32_ ? HeaderFormat::kBin32 : HeaderFormat::kBin16;
    return header;
  }

  int AwaitReceiver() {
    const std::vector<uint8_t> request = Bytes(Hex(Header::AtPosition(kZrqinit, 0)));
    if (!line_.Write(request.data(), request.size())) return kFailed;
    return Converse(request, [this](const Header& header) {
      if (header.type == kZchallenge) {
        return Send(Hex(Header{kZack,
                               {header.bytes[0], header.bytes[1], header.bytes[2], header.bytes[3]},
                               HeaderFormat::kHex}))
                   ? kGoOn
                   : kFailed;
      }
      if (header.type != kZrinit) return kGoOn;
      crc32_ = (header.Flag0() & kCanFc32) != 0;
      window_ = static_cast<uint32_t>(header.bytes[0] | header.bytes[1] << 8);
      return kNextState;
    });
  }

  // A ZRINIT while the offer is out is mostly the answer to our ZRQINIT crossing the
  // receiver's own first one; answering it with the offer again would start the data twice,
  // so only silence or a ZNAK repeats it.
  int OfferFile(const struct stat& info) {
    const size_t cut = path_.find_last_of('/');
    const std::string name = cut == std::string::npos ? path_ : path_.substr(cut + 1);
    char details[96];
    const int length = std::snprintf(details, sizeof details, "%u %llo %o 0 1 %u", size_,
                                     static_cast<unsigned long long>(info.st_mtime),
                                     static_cast<unsigned>(info.st_mode & 07777), size_);
    std::vector<uint8_t> fileInfo(name.begin(), name.end());
    fileInfo.push_back(0);
    fileInfo.insert(fileInfo.end(), details, details + length);
    fileInfo.push_back(0);
    std::vector<uint8_t> offer = Bytes(Binary(Header::WithFlags(kZfile, kZcbin)));
    AppendSubpacket(offer, fileInfo.data(), fileInfo.size(), kZcrcw, crc32_);
    if (!line_.Write(offer.data(), offer.size())) return kFailed;
    return Converse(offer, [&](const Header& header) {
      switch (header.type) {
        case kZrpos:
          return TakeRestart(header.Position()) ? kNextState : kFailed;
        case kZskip:
          return kFailed;
        case kZnak:
          return line_.Write(offer.data(), offer.size()) ? kGoOn : kFailed;
        default:
          return kGoOn;
      }
    });
  }

  // A ZRPOS: the data goes again from there. The same position asked for again and again
  // means the line cannot carry the data.
  bool TakeRestart(uint32_t position) {
    if (position > size_) return false;
    restarts_ = position == lastRestart_ ? restarts_ + 1 : 0;
    lastRestart_ = position;
    position_ = position;
    return restarts_ <= kMaxErrors;
  }

  // The data from position_ on, then ZEOF until the receiver confirms with ZRINIT.
  int Deliver() {
    for (;;) {
      int result = Stream();
      if (result != kGoOn) return result;
      const std::vector<uint8_t> eof = Bytes(Binary(Header::AtPosition(kZeof, size_)));
      if (!line_.Write(eof.data(), eof.size())) return kFailed;
      bool again = false;
      result = Converse(eof, [&](const Header& header) {
        if (header.type == kZrinit) return kNextState;
        if (header.type != kZrpos) return kGoOn;
        again = true;
        return TakeRestart(header.Position()) ? kNextState : kFailed;
      });
      if (result != kGoOn || !again) return result;
    }
  }

  // ZDATA and subpackets from position_ to the end of the file; a ZRPOS on the way moves
  // position_ back and the stream starts again there. The file is read in large pieces and a
  // few subpackets go out with one write; the receiver's answers are looked at between writes.
  int Stream() {
    bool frameOpen = false;
    uint32_t windowStart = position_;
    while (position_ < size_) {
      out_.clear();
      if (!frameOpen) {
        AppendHeader(out_, Binary(Header::AtPosition(kZdata, position_)));
        windowStart = position_;
        frameOpen = true;
      }
      uint8_t end = kZcrcg;
      for (int k = 0; k < kSubpacketsPerWrite && position_ < size_ && end == kZcrcg; ++k) {
        const uint8_t* block = ReadAt(position_);
        if (block == nullptr) {
          (void)SendCancel(line_);
          return kFailed;
        }
        const uint32_t count = std::min<uint32_t>(kSubpacketLength, size_ - position_);
        const bool windowFull = window_ > 0 && position_ + count - windowStart >= window_;
        end = position_ + count >= size_ || windowFull ? kZcrcw : kZcrcg;
        AppendSubpacket(out_, block, count, end, crc32_);
        position_ += count;
        if (progress_(static_cast<int32_t>(position_), static_cast<int32_t>(count), block,
                      static_cast<int32_t>(size_)) == -1) {
          (void)SendCancel(line_);
          return kAborted;
        }
      }
      if (!line_.Write(out_.data(), out_.size())) return kFailed;
      const int result = end == kZcrcw ? AwaitAck(windowStart) : CheckBackChannel(frameOpen);
      if (result != kGoOn) return result;
      if (end == kZcrcw) frameOpen = false;
    }
    return kGoOn;
  }

  // The file's bytes from `position` on (at least one subpacket's worth or up to the end),
  // null when the file cannot be read.
  const uint8_t* ReadAt(uint32_t position) {
    if (position < chunkStart_ ||
        position + std::min<uint32_t>(kSubpacketLength, size_ - position) >
            chunkStart_ + chunk_.size()) {
      chunk_.resize(kReadChunk);
      size_t got = 0;
      while (got < kReadChunk && position + got < size_) {
        const ssize_t n = pread(fd_, chunk_.data() + got, kReadChunk - got, position + got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
      }
      chunk_.resize(got);
      chunkStart_ = position;
      if (got < std::min<uint32_t>(kSubpacketLength, size_ - position)) return nullptr;
    }
    return chunk_.data() + (position - chunkStart_);
  }

  // After a ZCRCW: ZACK goes on, ZRPOS moves back; silence sends everything since the
  // previous ack again.
  int AwaitAck(uint32_t windowStart) {
    for (int idle = 0; idle <= kMaxIdleHeaders; ++idle) {
      Header header;
      const Got got = WaitHeader(in_, timing_.silenceMs, header);
      if (got == Got::kCancelled) return kFailed;
      if (got == Got::kGone) return kAborted;
      if (got == Got::kTimeout) {
        if (++silentAcks_ >= timing_.silentTries) return kTimeout;
        position_ = windowStart;
        return kGoOn;
      }
      if (header.type == kZack) {
        silentAcks_ = 0;
        return kGoOn;
      }
      if (header.type == kZrpos) return TakeRestart(header.Position()) ? kGoOn : kFailed;
      if (header.type == kZabort || header.type == kZferr) return kFailed;
    }
    (void)SendCancel(line_);
    return kFailed;
  }

  // Looks, without waiting, at what the receiver sent back while the data streamed out.
  int CheckBackChannel(bool& frameOpen) {
    if (in_.size() == 0) {
      const int n = in_.Fill(0);
      if (n < 0) return kAborted;
      if (n == 0) return kGoOn;
    }
    for (;;) {
      const HeaderScan scan = ScanHeader(in_.data(), in_.size());
      in_.Consume(scan.consumed);
      if (scan.result == Decoded::kCancelled) return kFailed;
      if (scan.result == Decoded::kNeedMore) return kGoOn;
      if (scan.result != Decoded::kComplete) continue;
      const Header& header = scan.header;
      if (header.type == kZabort || header.type == kZferr) return kFailed;
      if (header.type == kZrpos) {
        if (!TakeRestart(header.Position())) {
          (void)SendCancel(line_);
          return kFailed;
        }
        frameOpen = false;
      }
    }
  }

  int SayGoodbye() {
    const std::vector<uint8_t> fin = Bytes(Hex(Header::AtPosition(kZfin, 0)));
    if (!line_.Write(fin.data(), fin.size())) return kFailed;
    const int result = Converse(
        fin, [](const Header& header) { return header.type == kZfin ? kNextState : kGoOn; });
    // The receiver confirmed the file with its ZRINIT: a goodbye lost on the way changes
    // nothing about the delivered file.
    if (result == kGoOn) (void)line_.Write("OO");
    return result == kFailed || result == kAborted ? result : kDone;
  }

  std::string path_;
  const Progress& progress_;
  ZmodemTiming timing_;
  int fd_ = -1;
  uint32_t size_ = 0;
  uint32_t position_ = 0;
  uint32_t window_ = 0;
  bool crc32_ = false;
  uint32_t lastRestart_ = UINT32_MAX;
  int restarts_ = 0;
  int silentAcks_ = 0;
  std::vector<uint8_t> chunk_;  // the piece of the file read last, from chunkStart_ on
  uint32_t chunkStart_ = 0;
};

}  // namespace

int ZmodemReceive(Line& line, const std::string& targetPath, std::string& senderName,
                  const Progress& progress, const ZmodemTiming& timing) {
  return Receiver(line, targetPath, senderName, progress, timing).Run();
}

int ZmodemSend(Line& line, const std::string& path, const Progress& progress,
               const ZmodemTiming& timing) {
  return Sender(line, path, progress, timing).Run();
}

int ZmodemReceive(Line& line, const std::string& targetPath, std::string& senderName,
                  const Progress& progress) {
  return ZmodemReceive(line, targetPath, senderName, progress, ZmodemTiming{});
}

int ZmodemSend(Line& line, const std::string& path, const Progress& progress) {
  return ZmodemSend(line, path, progress, ZmodemTiming{});
}

}  // namespace quillon::xyz
