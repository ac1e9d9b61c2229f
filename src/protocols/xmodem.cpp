#include "protocols/xmodem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

#include "protocols/xyz_transfers.h"

namespace quillon::xyz {
namespace {

int32_t Clamp32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, 0, INT32_MAX));
}

bool WriteAll(int fd, const uint8_t* data, size_t count) {
  while (count > 0) {
    const ssize_t n = write(fd, data, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

// Up to `count` bytes; fewer only at the file's end. -1 on a read error.
ssize_t ReadFull(int fd, uint8_t* data, size_t count) {
  size_t got = 0;
  while (got < count) {
    const ssize_t n = read(fd, data + got, count - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

}  // namespace

int CreateTargetFile(const std::string& path) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
}

int FinishTargetFile(int fd, const std::string& path, int result) {
  if (close(fd) != 0 && result == kDone) result = kFailed;
  if (result != kDone) unlink(path.c_str());
  return result;
}

// ---- XyLink ----

void XyLink::Cancel() {
  static constexpr uint8_t kCancel[] = {kCan, kCan, kCan, kCan, kCan, kBs, kBs, kBs, kBs, kBs};
  (void)line_.Write(kCancel, sizeof kCancel);
}

int XyLink::Get(int timeoutMs) {
  if (pending_ != ByteReader::kNoByte) {
    const int byte = pending_;
    pending_ = ByteReader::kNoByte;
    return byte;
  }
  return in_.Get(timeoutMs);
}

bool XyLink::SecondCan() {
  const int next = Get(timings_.byteMs);
  if (next == kCan) return true;
  if (next >= 0) Unget(next);
  return false;
}

bool XyLink::Stopped(int64_t soFar, size_t blockLength, const uint8_t* block, int64_t total) {
  if (!progress_) return false;
  return progress_(Clamp32(soFar), static_cast<int32_t>(blockLength), block, Clamp32(total)) == -1;
}

// ---- BlockReceiver ----

BlockReceiver::Event BlockReceiver::Next(int timeoutMs) {
  for (size_t junk = 0; junk <= kMaxFrame; ++junk) {
    const int c = Get(timeoutMs);
    if (c == ByteReader::kNoByte) return Event::kSilence;
    if (c == ByteReader::kLineGone) return Event::kGone;
    if (c == kSoh || c == kStx) return ReadFrame(static_cast<uint8_t>(c));
    if (c == kEot) return Event::kEot;
    if (c == kCan && SecondCan()) return Event::kCancelled;
  }
  return Event::kBad;  // a flood of bytes that start no block
}

BlockReceiver::Event BlockReceiver::ReadFrame(uint8_t header) {
  frame_[0] = header;
  const size_t length = FrameLength(BlockSizeFor(header), CheckKind::kCrc16);
  for (size_t i = 1; i < length; ++i) {
    const int c = Get(timings_.byteMs);
    if (c == ByteReader::kLineGone) return Event::kGone;
    if (c == ByteReader::kNoByte) return Event::kBad;
    frame_[i] = static_cast<uint8_t>(c);
  }
  block_ = DecodeFrame(frame_, length, CheckKind::kCrc16);
  return block_.valid ? Event::kBlock : Event::kBad;
}

void BlockReceiver::Purge() {
  in_.DropInput();
  Unget(ByteReader::kNoByte);
  // Bounded, so that a peer that never stops talking cannot hold the receiver here.
  for (size_t dropped = 0; dropped < 16 * kMaxFrame; ++dropped) {
    if (Get(timings_.byteMs) < 0) return;
  }
}

int BlockReceiver::ReceiveData(int fd, int64_t fileLength, std::string_view opening) {
  if (!Send(opening)) return kFailed;
  uint8_t expected = 1;
  bool started = false;
  bool sawEot = false;
  int errors = 0;
  int64_t written = 0;
  for (;;) {
    switch (Next(timings_.silenceMs)) {
      case Event::kGone:
        return kAborted;
      case Event::kCancelled:
        return kFailed;
      case Event::kSilence:
        if (Stopped(written, 0, nullptr, std::max<int64_t>(fileLength, 0))) {
          Cancel();
          return kAborted;
        }
        if (++errors > timings_.retries) {
          Cancel();
          return kTimeout;
        }
        if (!Send(started ? kNak : kAskCrc)) return kFailed;
        break;
      case Event::kBad:
        if (++errors > timings_.retries) {
          Cancel();
          return kFailed;
        }
        Purge();
        if (!Send(kNak)) return kFailed;
        break;
      case Event::kEot:
        // The first EOT is answered with NAK: a real end comes again, a damaged byte does not.
        if (!sawEot) {
          sawEot = true;
          if (!Send(kNak)) return kFailed;
          break;
        }
        if (fileLength >= 0 && written < fileLength) {
          Cancel();
          return kFailed;
        }
        (void)Send(kAck);
        return kDone;
      case Event::kBlock:
        sawEot = false;
        if (block_.number == static_cast<uint8_t>(expected - 1)) {
          // A repeat: our acknowledgement was lost. A repeated block 0 also waits for 'C'.
          if (!Send(block_.number == 0 ? std::string_view("\x06"
                                                          "C")
                                       : std::string_view("\x06")))
            return kFailed;
          break;
        }
        if (block_.number != expected) {
          Cancel();  // the sequence is lost: no way to get it back
          return kFailed;
        }
        started = true;
        errors = 0;
        size_t keep = block_.size;
        if (fileLength >= 0)
          keep = static_cast<size_t>(std::clamp<int64_t>(fileLength - written, 0, keep));
        if (keep > 0 && !WriteAll(fd, block_.data, keep)) {
          Cancel();
          return kFailed;
        }
        written += static_cast<int64_t>(keep);
        if (Stopped(written, keep, block_.data, std::max<int64_t>(fileLength, 0))) {
          Cancel();
          return kAborted;
        }
        if (!Send(kAck)) return kFailed;
        ++expected;
        break;
    }
  }
}

int BlockReceiver::ReceiveHeader(FileHeader& header) {
  if (!Send(kAskCrc)) return kFailed;
  int errors = 0;
  for (;;) {
    const Event event = Next(timings_.silenceMs);
    if (event == Event::kGone) return kAborted;
    if (event == Event::kCancelled) return kFailed;
    if (event == Event::kBlock) {
      if (block_.number != 0) {
        Cancel();  // not a Y-Modem sender
        return kFailed;
      }
      header = ParseFileHeader(block_.data, block_.size);
      return kDone;
    }
    if (event == Event::kSilence && Stopped(0, 0, nullptr, 0)) {
      Cancel();
      return kAborted;
    }
    if (++errors > timings_.retries) {
      Cancel();
      return event == Event::kSilence ? kTimeout : kFailed;
    }
    if (event == Event::kBad) Purge();
    if (!Send(event == Event::kSilence ? kAskCrc : kNak)) return kFailed;
  }
}

int BlockReceiver::ReceiveEndOfBatch() {
  if (!Send(kAskCrc)) return kDone;
  for (int errors = 0; errors <= timings_.retries; ++errors) {
    const Event event = Next(timings_.silenceMs);
    if (event == Event::kGone || event == Event::kCancelled) return kDone;
    if (event == Event::kBlock && block_.number == 0) {
      const bool another = !ParseFileHeader(block_.data, block_.size).endOfBatch;
      if (another) {
        Cancel();
      } else {
        (void)Send(kAck);
      }
      return kDone;
    }
    if (event == Event::kBad) Purge();
    // An EOT again: our ACK of it was lost. A repeated data block: likewise.
    const bool repeat = event == Event::kEot || event == Event::kBlock;
    if (!Send(repeat ? std::string_view("\x06"
                                        "C")
                     : std::string_view(event == Event::kBad ? "\x15" : "C")))
      return kDone;
  }
  return kDone;
}

// ---- BlockSender ----

int BlockSender::WaitForRequest(int64_t fileLength) {
  int errors = 0;
  size_t junk = 0;
  for (;;) {
    const int c = Get(timings_.silenceMs);
    if (c == kAskCrc || c == kNak) {
      check_ = c == kAskCrc ? CheckKind::kCrc16 : CheckKind::kSum;
      return kDone;
    }
    if (c == ByteReader::kLineGone) return kAborted;
    if (c == kCan && SecondCan()) return kFailed;
    if (c == ByteReader::kNoByte) {
      if (Stopped(0, 0, nullptr, fileLength)) {
        Cancel();
        return kAborted;
      }
      if (++errors > timings_.retries) return kTimeout;
    } else if (++junk > kMaxFrame) {
      junk = 0;
      if (++errors > timings_.retries) {
        Cancel();
        return kFailed;
      }
    }
  }
}

bool BlockSender::Turnaround() {
  if (timings_.turnaroundMs <= 0) return true;
  const int c = Get(timings_.turnaroundMs);
  if (c >= 0) Unget(c);
  return c != ByteReader::kLineGone;
}

int BlockSender::RepeatAfterMs(size_t length) const {
  if (length == 1 || slowestAnswerMs_ < 0) return timings_.silenceMs;
  // The answers' time includes the block's way over a slow line and the receiver's work.
  const int64_t wait = std::max<int64_t>(4 * slowestAnswerMs_, timings_.repeatMs);
  return static_cast<int>(std::min<int64_t>(wait, timings_.silenceMs));
}

int BlockSender::LateAnswerMs(int repeatMs) const {
  // A receiver that got both copies answers the second about one answer's time after the first.
  if (slowestAnswerMs_ < 0) return repeatMs;
  return static_cast<int>(
      std::min<int64_t>(repeatMs, std::max<int64_t>(2 * slowestAnswerMs_, timings_.repeatMs)));
}

BlockSender::Reply BlockSender::Await(bool askMeansNak, int timeoutMs) {
  for (size_t junk = 0; junk <= kMaxFrame; ++junk) {
    const int c = Get(timeoutMs);
    if (c == kAck) return Reply::kAck;
    if (c == kNak || (c == kAskCrc && askMeansNak)) return Reply::kNak;
    if (c == kCan && SecondCan()) return Reply::kCancelled;
    if (c == ByteReader::kNoByte) return Reply::kSilence;
    if (c == ByteReader::kLineGone) return Reply::kGone;
  }
  return Reply::kNak;
}

bool BlockSender::DropLateAnswers(int quietMs) {
  for (size_t dropped = 0; dropped <= kMaxFrame; ++dropped) {
    const int c = Get(quietMs);
    if (c == ByteReader::kNoByte || c == ByteReader::kLineGone)
      return true;  // the next step sees a gone line
    if (c == kCan && SecondCan()) return false;
    if (c == kAskCrc) {
      Unget(c);
      return true;
    }
  }
  return true;
}

int BlockSender::SendBlock(uint8_t number, const uint8_t* data, size_t count, size_t blockSize,
                           uint8_t pad) {
  if (check_ == CheckKind::kSum) blockSize = kShortBlock;
  const size_t length = BuildFrame(number, data, count, blockSize, check_, pad, frame_);
  return SendUntilAcknowledged(frame_, length, number <= 1);
}

void BlockSender::EndBatch() {
  const size_t length = BuildFrame(0, nullptr, 0, kShortBlock, check_, 0, frame_);
  // A receiver that drops its input right after asking would lose a block sent at once, and
  // one that ends right after acknowledging may lose its acknowledgement with its output:
  // quick repeats cover the first, the bound on silence the second. Without a known pace the
  // first repeat comes after a short block's time on a slow line.
  int repeatMs = slowestAnswerMs_ < 0 ? std::min(4 * timings_.repeatMs, timings_.silenceMs)
                                      : RepeatAfterMs(length);
  int64_t silentMs = 0;
  for (int naks = 0; naks <= timings_.retries;) {
    if (!Turnaround() || !line_.Write(frame_, length)) return;
    switch (Await(true, repeatMs)) {
      case Reply::kNak:
        ++naks;
        break;
      case Reply::kSilence:
        silentMs += repeatMs;
        if (silentMs >= timings_.silenceMs) return;
        repeatMs = std::min(2 * repeatMs, std::max(timings_.silenceMs, 1));
        break;
      case Reply::kAck:
      case Reply::kCancelled:
      case Reply::kGone:
        return;
    }
  }
}

int BlockSender::SendUntilAcknowledged(const uint8_t* bytes, size_t length, bool askMeansNak) {
  // Each repeat on silence waits twice as long as the one before: a receiver that is gone is
  // not flooded with copies.
  int repeatMs = RepeatAfterMs(length);
  int naks = 0;
  bool repeatedOnSilence = false;
  int64_t silentMs = 0;
  for (;;) {
    if (!Turnaround()) return kAborted;
    if (!line_.Write(bytes, length)) return kFailed;
    const auto sentAt = std::chrono::steady_clock::now();
    const Reply reply = Await(askMeansNak, repeatMs);
    // A NAK may come only after the receiver waited for quiet: it tells nothing of its pace.
    if (reply == Reply::kAck && !repeatedOnSilence && length > 1) {
      const int64_t answerMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - sentAt)
                                   .count();
      // One slow answer (a busy receiver, the first block) fades over the next blocks.
      slowestAnswerMs_ = std::max(answerMs, slowestAnswerMs_ - slowestAnswerMs_ / 8);
    }
    switch (reply) {
      case Reply::kAck:
        if (repeatedOnSilence && !DropLateAnswers(LateAnswerMs(repeatMs))) return kFailed;
        return kDone;
      case Reply::kCancelled:
        return kFailed;
      case Reply::kGone:
        return kAborted;
      case Reply::kSilence:
        silentMs += repeatMs;
        if (silentMs > static_cast<int64_t>(timings_.retries) * timings_.silenceMs) {
          Cancel();
          return kTimeout;
        }
        repeatedOnSilence = true;
        repeatMs = std::min(2 * repeatMs, std::max(timings_.silenceMs, 1));
        break;
      case Reply::kNak:
        if (++naks > timings_.retries) {
          Cancel();
          return kFailed;
        }
        silentMs = 0;
        break;
    }
  }
}

int BlockSender::SendData(int fd, int64_t fileLength) {
  uint8_t buffer[kLongBlock];
  const size_t chunk = check_ == CheckKind::kCrc16 ? kLongBlock : kShortBlock;
  int64_t sent = 0;
  for (uint8_t number = 1;; ++number) {
    const ssize_t n = ReadFull(fd, buffer, chunk);
    if (n < 0) {
      Cancel();
      return kFailed;
    }
    if (n == 0) break;
    // A short tail goes in a 128-byte block rather than a 1K block that is mostly padding.
    const size_t count = static_cast<size_t>(n);
    const int result =
        SendBlock(number, buffer, count, count > kShortBlock ? kLongBlock : kShortBlock, kPad);
    if (result != kDone) return result;
    sent += n;
    if (Stopped(sent, count, buffer, fileLength)) {
      Cancel();
      return kAborted;
    }
  }
  return SendUntilAcknowledged(&kEot, 1, false);
}

// ---- X-Modem ----

int XmodemReceive(Line& line, const std::string& targetPath, const Progress& progress,
                  const XyTimings& timings) {
  const int fd = CreateTargetFile(targetPath);
  if (fd < 0) return kFailed;
  BlockReceiver receiver(line, progress, timings);
  // The last block's padding cannot be told from data: X-Modem's file keeps it.
  return FinishTargetFile(fd, targetPath, receiver.ReceiveData(fd, -1, "C"));
}

int SendRegularFile(const std::string& path,
                    const std::function<int(int fd, const struct stat&)>& send) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return kFailed;
  struct stat info {};
  const int result = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? send(fd, info) : kFailed;
  close(fd);
  return result;
}

int XmodemSend(Line& line, const std::string& path, const Progress& progress,
               const XyTimings& timings) {
  return SendRegularFile(path, [&](int fd, const struct stat& info) {
    BlockSender sender(line, progress, timings);
    const int result = sender.WaitForRequest(info.st_size);
    return result == kDone ? sender.SendData(fd, info.st_size) : result;
  });
}

int XmodemReceive(Line& line, const std::string& targetPath, const Progress& progress) {
  return XmodemReceive(line, targetPath, progress, XyTimings{});
}

int XmodemSend(Line& line, const std::string& path, const Progress& progress) {
  return XmodemSend(line, path, progress, XyTimings{});
}

}  // namespace quillon::xyz
