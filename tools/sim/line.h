#pragma once
// The serial line the simulator talks on: either the master side of a pseudo-terminal pair whose
// slave the receiver opens, or a real serial device. All waits block in ppoll() with the time
// left and end early on SIGTERM/SIGINT; reads go through a buffer so that a burst of input costs
// one read() and not one per byte.
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace sim {

using Clock = std::chrono::steady_clock;

enum class Io { kOk, kTimeout, kClosed, kStopped, kError };

// German description of a failed line operation, for messages on stderr.
std::string Describe(Io io);

class Line {
 public:
  Line() = default;
  ~Line();
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;

  // Creates a pseudo-terminal pair, both sides raw, and keeps only the master. On failure
  // returns false with a German message in `error`.
  bool OpenPty(std::string& error);
  // Opens a serial device raw, 8N1, at `baud`, ignoring modem lines.
  bool OpenDevice(const std::string& path, int baud, std::string& error);
  // The device path the receiver opens (the pty slave or the device itself).
  const std::string& path() const { return path_; }

  // Changes the rate of the line (a pty keeps it as a setting only; the pair shares one, so the
  // receiver's side changes with it).
  void SetBaud(int baud);
  // The rate the line runs at for the other side: on a pty the rate the receiver set on its end
  // (both ends of a pair share one setting), on a device the device's own; 0 when unknown.
  int RateHeard() const;
  // Pty only: waits until someone has the slave open, or has had it open and written to it,
  // checking every 10 ms.
  Io WaitForPeer(int timeoutMs);

  // Writes all bytes, normally with a single write().
  Io Write(std::string_view bytes, int timeoutMs);
  // Next received byte, waiting until `deadline` at most (Clock::time_point::max(): no limit).
  Io ReadByte(Clock::time_point deadline, std::uint8_t& byte);
  // Forgets buffered input; with `kernelToo` also what the kernel still holds.
  void Discard(bool kernelToo);
  // Before the program ends: keeps the line until the other side has taken the last answer.
  // Closing a pty master discards what its slave has not read yet, so this drains input until
  // the other side has read everything written to it or has closed the line, at most
  // `limitMs`, or until a stop signal comes. Where the kernel cannot show what the other side
  // has read, it waits `blindMs` instead. A device is drained of its output.
  void Linger(int limitMs, int blindMs);
  // Reads and drops everything until a stop signal; a pty waits through hang-ups for the next
  // opener.
  void Hold();

 private:
  Io Fill(Clock::time_point deadline);
  // Pty only: true when the other side has read everything written to it; false also when that
  // cannot be seen.
  bool PeerHasRead() const;

  int fd_ = -1;
  bool pty_ = false;
  std::string path_;
  std::uint8_t buffer_[4096];
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
};

}  // namespace sim
