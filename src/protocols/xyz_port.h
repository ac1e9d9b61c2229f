#pragma once
// The library port: a port opened for one X-, Y- or Z-Modem transfer, by its configured name
// and line parameters, and the send and receive operations that run a transfer over it.
//
// The port's line parameters pass through the codes the transfer layer knows: a baud code and a
// mode byte. A rate without a code is taken as 9600, data bits other than 7 as 8.
//
// The caller hands the port over: whoever held the line closes it first, OpenLibraryPort opens
// it (through ComRemap.ini, as every open of a port name), and after the transfer the port is
// closed again. Neither close lowers DTR, so a modem call survives the hand-over. Nothing here
// changes the process's current directory: the target path is passed whole.
//
// Thread safety: one thread opens the port and runs a transfer on it; Wake may be called from
// any thread, and the program's shutdown wakes the port by itself.
#include <string>

#include "common/shutdown_state.h"
#include "config/settings_types.h"
#include "protocols/xyz_common.h"
#include "serial/serial_device.h"

namespace quillon {

// The port number in a port name: what is left after stripping non-digits from both ends
// ("COM3:" -> 3, "COM10" -> 10); 0 when no digits are left or the number is out of range.
int LibraryPortNumber(const std::string& portName);
// The transfer layer's code of a baud rate (9600 -> 12); 12 for a rate it has no code for.
int BaudCode(int baud);
// The rate a baud code stands for; 9600 for an unknown code.
int BaudOfCode(int code);
// Data bits 7 -> 2, else 3; parity odd +8, even +24, mark +40, space +56 (parity numbered 0 none,
// 1 odd, 2 even, 3 mark, 4 space); stop bits other than 1 +4.
int ModeByte(int dataBits, int parity, int stopBits);
// The line parameters a baud code and a mode byte stand for.
LineParams LineParamsOf(int baudCode, int modeByte);

class LibraryPort {
 public:
  // `shutdown` (may be null) wakes every wait of the port when the program ends.
  explicit LibraryPort(const ShutdownState* shutdown = nullptr);
  ~LibraryPort();
  LibraryPort(const LibraryPort&) = delete;
  LibraryPort& operator=(const LibraryPort&) = delete;

  bool IsOpen() const { return device_.IsOpen(); }
  int Number() const { return number_; }
  // The line has died (device unplugged, far end of a pseudo-terminal closed).
  bool LineGone() const { return device_.IsOpen() && device_.HungUp(); }
  // Ends the running transfer's current wait and every later one of this port object at once
  // (result kAborted). A port object serves one hand-over: a woken one stays woken.
  void Wake() { wake_.Set(); }
  void Close();

 private:
  friend bool OpenLibraryPort(LibraryPort& port, const TQuillonOpt& settings);
  friend int SendFileXyz(LibraryPort& port, int protocol, const std::string& filePath,
                         const xyz::Progress& progress);
  friend int ReceiveFileXyz(LibraryPort& port, int protocol, const std::string& targetPath,
                            std::string& senderName, const xyz::Progress& progress);

  SerialDevice device_;
  WakeFlag wake_;
  const ShutdownState* shutdown_;
  int shutdownWaker_ = 0;
  int number_ = 0;
};

// Opens the port named in `settings` with its line parameters; true when it is open and
// configured. A port that cannot be configured is closed again.
[[nodiscard]] bool OpenLibraryPort(LibraryPort& port, const TQuillonOpt& settings);

// Sends `filePath` with protocol 6 (X-Modem), 7 (Y-Modem) or 8 (Z-Modem). Results as in
// xyz_common.h; kFailed for another protocol or a port that is not open.
[[nodiscard]] int SendFileXyz(LibraryPort& port, int protocol, const std::string& filePath,
                              const xyz::Progress& progress);

// Receives one file with protocol 2 (X-Modem), 3 (Y-Modem) or 4 (Z-Modem) into `targetPath`,
// which must not exist yet. `senderName` gets the checked name a Y- or Z-Modem sender gave
// (empty for X-Modem or when there was none). Results as in xyz_common.h; kFailed for another
// protocol or a port that is not open.
[[nodiscard]] int ReceiveFileXyz(LibraryPort& port, int protocol, const std::string& targetPath,
                                 std::string& senderName, const xyz::Progress& progress);

}  // namespace quillon
