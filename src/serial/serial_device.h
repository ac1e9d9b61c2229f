#pragma once
// The Linux side of a serial line: a termios file descriptor in raw mode, read through a
// per-line buffer (one read() fetches everything waiting), waits in poll() that also wake up
// for an abort or a shutdown descriptor. All termios and ioctl code of the program lives here.
//
// Thread safety: one thread uses an instance; the wake descriptors may be signalled from
// others.
#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon {

struct LineParams {
  int baud = 9600;
  int dataBits = 8;
  int parity = 0;  // 0 none, 1 odd, 2 even, 3 mark, 4 space
  int stopBits = 1;
};

class SerialDevice {
 public:
  SerialDevice() = default;
  ~SerialDevice();
  SerialDevice(const SerialDevice&) = delete;
  SerialDevice& operator=(const SerialDevice&) = delete;

  // Opens the device exclusively (no second opener, also not from another process). False
  // with errno set on failure.
  bool Open(const std::string& path);
  // Raw mode, the line parameters, no flow control, DTR and RTS on; a close leaves DTR as it
  // is. False when the device refuses the settings or a value is not supported.
  bool Configure(const LineParams& params);
  bool Close();
  bool IsOpen() const { return fd_ >= 0; }
  // The line is gone: the device was unplugged or the far end of a pseudo-terminal closed
  // (or the device is not open). Looks without waiting.
  bool HungUp() const;
  int fd() const { return fd_; }

  // Buffered input.
  bool TakeByte(uint8_t& byte) {
    if (pos_ == len_) return false;
    byte = buffer_[pos_++];
    return true;
  }
  size_t Buffered() const { return len_ - pos_; }
  // Reads what is waiting into the empty buffer. Returns the count, 0 when nothing is waiting,
  // -1 when the line is gone (hang-up or a read error).
  int Fill();
  // Bytes waiting: the buffer plus what the kernel holds.
  size_t InputCount() const;
  // Throws away the buffer and everything the kernel holds.
  void DiscardInput();

  enum class Wait { Ready, Timeout, Woken, HangUp };
  // Waits until the line is readable (or writable), `ms` passed (< 0: no limit) or one of the
  // wake descriptors (-1 = none) became readable.
  Wait WaitReadable(int ms, int wakeA, int wakeB) const;
  Wait WaitWritable(int ms, int wakeA, int wakeB) const;

  // One write(); returns the bytes written (possibly fewer), or -1.
  long Write(const uint8_t* data, size_t length);
  // Bytes still in the output queue (0 where the driver cannot tell).
  int OutputCount() const;

  // True when frame, overrun or break errors happened since the last call (a parity error
  // alone does not count). Lines without error counters never report one.
  bool TakeLineError();

 private:
  int fd_ = -1;
  uint8_t buffer_[4096] = {};
  size_t pos_ = 0;
  size_t len_ = 0;
  bool has_icount_ = true;
  bool exclusive_ = false;  // TIOCEXCL set by Open, cleared by Close
  int frame_ = 0, overrun_ = 0, buf_overrun_ = 0, brk_ = 0;
};

// Lowers DTR on the device at `path` and leaves it low (a modem there ends its call). False
// when the device cannot be opened or has no DTR line.
bool DropDtr(const std::string& path);

// Sleeps `ms` unless one of the wake descriptors (-1 = none) becomes readable first.
void SleepUnlessWoken(int ms, int wakeA, int wakeB);

}  // namespace quillon
