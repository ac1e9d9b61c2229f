#pragma once
// X-Modem over a Line (1K blocks with CRC-16; a sender also serves receivers that ask for
// 128-byte blocks with a checksum), and the block-level sending and receiving that Y-Modem
// builds on.
#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "protocols/xy_block.h"
#include "protocols/xyz_common.h"

namespace quillon::xyz {

// How long a transfer waits and how often it tries again.
struct XyTimings {
  int silenceMs =
      3000;           // a receiver asks again after this; a sender gives up after `retries` of it
  int byteMs = 1000;  // the longest gap inside one block; also the quiet that ends a purge
  int retries = 10;   // tries of one request or block before giving up
  // A sender's pause between the receiver's answer and its next block, for receivers that
  // drop their input right after answering. None by default: the quick repeat below costs far
  // less than a pause before every block.
  int turnaroundMs = 0;
  // A sender sends a block again when no answer came for four times the slowest recent
  // acknowledgement, but not sooner than this; not before the first acknowledgement,
  // nor for the end, which a receiver may take only after a quiet spell. A receiver that
  // dropped the block would otherwise wait for its own, far longer time-out.
  int repeatMs = 50;
};

[[nodiscard]] int XmodemReceive(Line& line, const std::string& targetPath, const Progress& progress,
                                const XyTimings& timings);
[[nodiscard]] int XmodemSend(Line& line, const std::string& path, const Progress& progress,
                             const XyTimings& timings);

// Opens `path` for a sender: `send` gets the descriptor and its status when it is a regular
// file; kFailed otherwise.
[[nodiscard]] int SendRegularFile(const std::string& path,
                                  const std::function<int(int fd, const struct stat&)>& send);
// Creates a receiver's target, never over an existing file: the descriptor, -1 when it cannot.
[[nodiscard]] int CreateTargetFile(const std::string& path);
// Closes the target and deletes it again unless `result` is kDone and the close succeeded.
// Returns the transfer's final result.
[[nodiscard]] int FinishTargetFile(int fd, const std::string& path, int result);

// What both sides share: reading with one byte of look-ahead, writing, cancelling.
class XyLink {
 public:
  XyLink(Line& line, const Progress& progress, const XyTimings& timings)
      : line_(line), in_(line), progress_(progress), timings_(timings) {}
  // Tells the peer the transfer is over: CAN several times (two in a row are needed), then as
  // many backspaces to wipe them from a terminal's screen.
  void Cancel();

 protected:
  int Get(int timeoutMs);  // a byte, ByteReader::kNoByte or ByteReader::kLineGone
  void Unget(int byte) { pending_ = byte; }
  // After a CAN: true when a second one follows at once.
  bool SecondCan();
  [[nodiscard]] bool Send(std::string_view bytes) { return line_.Write(bytes); }
  [[nodiscard]] bool Send(uint8_t byte) { return line_.Write(&byte, 1); }
  // The progress callback; a -1 means stop.
  [[nodiscard]] bool Stopped(int64_t soFar, size_t blockLength, const uint8_t* block,
                             int64_t total);

  Line& line_;
  ByteReader in_;
  const Progress& progress_;
  XyTimings timings_;

 private:
  int pending_ = ByteReader::kNoByte;
};

// The receiving side: asks for blocks, checks them, acknowledges them.
class BlockReceiver : public XyLink {
 public:
  using XyLink::XyLink;
  // Sends `opening` (the first request) and receives blocks 1, 2, ... into `fd` until the
  // sender's end. `fileLength` >= 0 cuts the data there and must be reached; -1 keeps whole
  // blocks.
  [[nodiscard]] int ReceiveData(int fd, int64_t fileLength, std::string_view opening);
  // Asks for block 0 with 'C' until it comes and reads it into `header`.
  [[nodiscard]] int ReceiveHeader(FileHeader& header);
  // After a file: asks for the next block 0 and acknowledges it. The file is complete by then,
  // so this ends with kDone whatever the sender does; a further file is refused by cancelling.
  [[nodiscard]] int ReceiveEndOfBatch();

 private:
  enum class Event { kBlock, kEot, kCancelled, kSilence, kGone, kBad };
  Event Next(int timeoutMs);
  Event ReadFrame(uint8_t header);
  // Throws away a damaged block's rest: everything until the line is quiet.
  void Purge();

  uint8_t frame_[kMaxFrame] = {};
  DecodedFrame block_;
};

// The sending side: waits for the receiver's requests and sends blocks until acknowledged.
class BlockSender : public XyLink {
 public:
  using XyLink::XyLink;
  // Waits for the receiver's request: 'C' chooses CRC-16, NAK the checksum (and 128-byte
  // blocks).
  [[nodiscard]] int WaitForRequest(int64_t fileLength);
  // Sends one block until the receiver acknowledges it.
  [[nodiscard]] int SendBlock(uint8_t number, const uint8_t* data, size_t count, size_t blockSize,
                              uint8_t pad);
  // Sends the empty block 0 that ends a Y-Modem batch. The file is through by then, so nothing
  // here cancels: the block goes again on a request and on silence, and an acknowledgement,
  // a cancel, a gone line or one receiver time-out of silence ends the batch.
  void EndBatch();
  // Sends the file from `fd` as blocks 1, 2, ..., then the end (EOT until acknowledged).
  [[nodiscard]] int SendData(int fd, int64_t fileLength);

 private:
  enum class Reply { kAck, kNak, kCancelled, kSilence, kGone };
  Reply Await(bool askMeansNak, int timeoutMs);
  // Sends `bytes` until the receiver acknowledges them: again on each NAK and after each
  // silence of `RepeatAfterMs`.
  [[nodiscard]] int SendUntilAcknowledged(const uint8_t* bytes, size_t length, bool askMeansNak);
  // Waits `turnaroundMs` for the receiver to get ready; a byte that comes meanwhile is kept.
  [[nodiscard]] bool Turnaround();
  // How long the sender waits for an answer to `length` bytes before it sends them again.
  int RepeatAfterMs(size_t length) const;
  // After a block that went again on silence was acknowledged: a receiver that got both copies
  // answers twice, and the second answer must not be taken for the next block's. Throws away
  // answers until the line is quiet; a request ('C') is kept for the next step. False when the
  // receiver cancelled.
  [[nodiscard]] bool DropLateAnswers(int quietMs);
  // The quiet that ends DropLateAnswers after a block that was repeated every `repeatMs`.
  int LateAnswerMs(int repeatMs) const;

  CheckKind check_ = CheckKind::kCrc16;
  int64_t slowestAnswerMs_ = -1;  // the longest recent wait for an acknowledgement
  uint8_t frame_[kMaxFrame] = {};
};

}  // namespace quillon::xyz
