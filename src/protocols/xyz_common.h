#pragma once
// What the X-, Y- and Z-Modem transfers share: the line they run over, the progress callback,
// the result codes, the two checksums and the check of a file name a sender gives.
//
// Every transfer function runs on its caller's thread and blocks it until the transfer ends.
// Waiting costs nothing: the line is waited on with poll(), never by looking again and again.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quillon::xyz {

// Results. A positive result is success (a file received or sent).
inline constexpr int kDone = 1;
inline constexpr int kTimeout = -2;  // the peer went silent
inline constexpr int kAborted = -4;  // the progress callback asked to stop (or the line's waker)
inline constexpr int kFailed = -6;   // any other failure: refused, too many errors, cancelled by
                                     // the peer, the file not writable or readable

// Called after each block that was written to the file or sent: the bytes so far, the length
// of that block, the block itself and the whole file's length (0 when a receiver does not know
// it). Returning -1 ends the transfer within one block with kAborted; 0 goes on. Also called
// with 0 bytes while a receiver waits for the start, so that a stop is noticed while nothing
// arrives.
using Progress = std::function<int(int32_t bytesSoFar, int32_t blockLength, const uint8_t* block,
                                   int32_t fileLength)>;

// The serial line a transfer runs over.
class Line {
 public:
  virtual ~Line() = default;
  // Up to `max` bytes that arrived within `timeoutMs`: their count, 0 after the time-out, -1
  // when the line is gone or the wait was woken (stop, shutdown).
  virtual int Read(uint8_t* buffer, int max, int timeoutMs) = 0;
  // All of the bytes; false when the line refuses them.
  virtual bool Write(const uint8_t* bytes, size_t count) = 0;
  // Drops what arrived and was not read yet (also what the kernel holds).
  virtual void DropInput() = 0;

  bool Write(std::string_view bytes) {
    return Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
};

// A Line over a file descriptor (a serial device or a pseudo-terminal), with an optional
// waker descriptor: when that one becomes readable, every wait ends with -1. The descriptors
// stay owned by the caller.
class FdLine : public Line {
 public:
  explicit FdLine(int fd, int wakeFd = -1) : fd_(fd), wakeFd_(wakeFd) {}
  int Read(uint8_t* buffer, int max, int timeoutMs) override;
  bool Write(const uint8_t* bytes, size_t count) override;
  void DropInput() override;
  using Line::Write;

 private:
  int fd_;
  int wakeFd_;
};

// Reads a line byte by byte from a buffer refilled with one read() of everything waiting, so
// that a block costs one system call, not one per byte. Nothing that arrived is ever thrown
// away unless DropInput is called.
class ByteReader {
 public:
  explicit ByteReader(Line& line) : line_(line) {}
  // The next byte (0..255), kNoByte after `timeoutMs` without one, kLineGone when the line is
  // gone or the wait was woken.
  int Get(int timeoutMs);
  // True when a byte is already buffered (no wait needed).
  bool HasBuffered() const { return pos_ < len_; }
  void DropInput();

  static constexpr int kNoByte = -1;
  static constexpr int kLineGone = -2;

 private:
  Line& line_;
  uint8_t buffer_[8192] = {};
  int pos_ = 0;
  int len_ = 0;
};

// CRC-16 of X-, Y- and Z-Modem (polynomial 0x1021, start 0, not reflected), continued from
// `crc`.
uint16_t Crc16(const uint8_t* data, size_t count, uint16_t crc = 0);
// CRC-32 of Z-Modem (the Ethernet polynomial, reflected). Start with 0xFFFFFFFF, feed the data,
// and invert the result at the end: Crc32Final does all three for one buffer.
uint32_t Crc32Update(const uint8_t* data, size_t count, uint32_t crc);
inline uint32_t Crc32Final(const uint8_t* data, size_t count) {
  return ~Crc32Update(data, count, 0xFFFFFFFFu);
}

// The file name a Y- or Z-Modem sender gave, reduced to its last path component (both '/' and
// '\\' separate). Empty when nothing usable is left: an empty name, "." or "..", or a name with
// control characters. The received data never goes to this name; it only appears in reports.
std::string SenderFileName(std::string_view given);

}  // namespace quillon::xyz
