#pragma once
// The uploader's own small serial port: a termios line in raw mode, opened by port number
// through the "ComRemap.ini" beside the program, with Windows-style read time-outs (a read
// returns what arrived within the time-out).
#include <cstddef>
#include <cstdint>
#include <string>

namespace sollex {

enum class Parity { kNone = 0, kOdd = 1, kEven = 2, kMark = 3, kSpace = 4 };

// Device of port COMn: the [Remap] entry "COMn" of `remapFile` (absolute = used as is, any
// other value gets "/dev/" in front), else /dev/ttyS(n-1).
std::string DevicePath(int port, const std::string& remapFile);

// "ComRemap.ini" in the directory of the running program, or else (an installed program) the
// user's one in $XDG_CONFIG_HOME/VARDA/ (~/.config/VARDA/) when it exists.
std::string DefaultRemapFile();

class SerialPort {
 public:
  SerialPort() = default;
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Ports 1 to 8. stopBits: 0 one, 2 two (1 = one and a half is taken as two). On failure the
  // port stays closed and lastError() holds the system error code (0 for a port number out of
  // range).
  bool Open(int port, int baud, Parity parity, int dataBits, int stopBits, int timeoutMs);
  bool SetBaud(int baud);
  // True when all bytes were written; an empty block is not written and gives false.
  bool WriteBlock(const char* data, std::size_t length);
  bool WriteBlock(const std::string& data) { return WriteBlock(data.data(), data.size()); }
  // One byte, or 255 when nothing arrived within the time-out or the wake descriptor became
  // readable.
  std::uint8_t ReadByte();
  // As many bytes as arrive within the time-out, up to maxCount.
  std::size_t ReadBlock(char* buffer, std::size_t maxCount);
  // Whatever arrives until `timeoutMs` passed, returning as soon as something is there (or
  // with nothing as soon as the wake descriptor is readable).
  std::size_t ReadAvailable(char* buffer, std::size_t maxCount, int timeoutMs);
  void Close();

  bool isOpen() const { return fd_ >= 0; }
  int lastError() const { return lastError_; }
  void setRemapFile(std::string file) { remapFile_ = std::move(file); }
  // A descriptor that ends every read wait when it becomes readable (a cancel); -1 for none.
  // Writes are not cut short: a line is either written whole or fails.
  void setWakeFd(int fd) { wakeFd_ = fd; }

 private:
  bool Fail(int error);

  int fd_ = -1;
  bool exclusive_ = false;  // TIOCEXCL set by Open, cleared by Close
  int port_ = 0;
  int baud_ = 0;
  int timeoutMs_ = 100;
  int lastError_ = 0;
  int wakeFd_ = -1;
  std::string remapFile_;
};

}  // namespace sollex
