#include "protocols/xyz_port.h"

#include <cctype>
#include <iterator>

#include "protocols/xyz_transfers.h"
#include "serial/com_remap.h"

namespace quillon {
namespace {

struct BaudEntry {
  int baud;
  int code;
};
constexpr BaudEntry kBaudCodes[] = {{300, 5},    {600, 6},    {1200, 7},   {2400, 9},
                                    {4800, 10},  {9600, 12},  {19200, 13}, {38400, 14},
                                    {57600, 15}, {115200, 16}};
constexpr int kDefaultBaudCode = 12;
constexpr int kDefaultBaud = 9600;

constexpr int kModeSevenBits = 2;
constexpr int kModeEightBits = 3;
constexpr int kModeTwoStopBits = 4;
// By parity number: none, odd, even, mark, space.
constexpr int kModeParity[] = {0, 8, 24, 40, 56};

constexpr int kXmodemReceive = 2;
constexpr int kYmodemReceive = 3;
constexpr int kZmodemReceive = 4;
constexpr int kXmodemSend = 6;
constexpr int kYmodemSend = 7;
constexpr int kZmodemSend = 8;

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

int LibraryPortNumber(const std::string& portName) {
  size_t first = 0;
  size_t end = portName.size();
  while (first < end && !IsDigit(portName[first])) ++first;
  while (end > first && !IsDigit(portName[end - 1])) --end;
  // Anything but digits left in the middle is no number; nine digits always fit an int.
  if (first == end || end - first > 9) return 0;
  int n = 0;
  for (size_t i = first; i < end; ++i) {
    if (!IsDigit(portName[i])) return 0;
    n = n * 10 + (portName[i] - '0');
  }
  return n;
}

int BaudCode(int baud) {
  for (const BaudEntry& e : kBaudCodes) {
    if (e.baud == baud) return e.code;
  }
  return kDefaultBaudCode;
}

int BaudOfCode(int code) {
  for (const BaudEntry& e : kBaudCodes) {
    if (e.code == code) return e.baud;
  }
  return kDefaultBaud;
}

int ModeByte(int dataBits, int parity, int stopBits) {
  int mode = dataBits == 7 ? kModeSevenBits : kModeEightBits;
  if (parity >= 0 && parity < static_cast<int>(std::size(kModeParity))) mode += kModeParity[parity];
  if (stopBits != 1) mode += kModeTwoStopBits;
  return mode;
}

LineParams LineParamsOf(int baudCode, int modeByte) {
  LineParams p;
  p.baud = BaudOfCode(baudCode);
  p.dataBits = (modeByte & 3) == kModeSevenBits ? 7 : 8;
  p.stopBits = (modeByte & kModeTwoStopBits) != 0 ? 2 : 1;
  const int parityBits = modeByte & ~7;
  p.parity = 0;
  for (int i = 0; i < static_cast<int>(std::size(kModeParity)); ++i) {
    if (kModeParity[i] == parityBits) p.parity = i;
  }
  return p;
}

LibraryPort::LibraryPort(const ShutdownState* shutdown) : shutdown_(shutdown) {
  if (shutdown_ != nullptr) shutdownWaker_ = shutdown_->AddWaker([this] { wake_.Set(); });
}

LibraryPort::~LibraryPort() {
  if (shutdown_ != nullptr) shutdown_->RemoveWaker(shutdownWaker_);
  Close();
}

void LibraryPort::Close() { (void)device_.Close(); }

bool OpenLibraryPort(LibraryPort& port, const TQuillonOpt& settings) {
  if (port.device_.IsOpen()) return false;
  port.number_ = LibraryPortNumber(settings.PortName);
  const LineParams params = LineParamsOf(
      BaudCode(settings.Baudrate), ModeByte(settings.DataBits, settings.Parity, settings.StopBits));
  if (!port.device_.Open(DevicePathForPort(ComRemapDirectory(), settings.PortName))) return false;
  if (!port.device_.Configure(params)) {
    port.Close();
    return false;
  }
  return true;
}

int SendFileXyz(LibraryPort& port, int protocol, const std::string& filePath,
                const xyz::Progress& progress) {
  if (!port.IsOpen()) return xyz::kFailed;
  xyz::FdLine line(port.device_.fd(), port.wake_.fd());
  switch (protocol) {
    case kXmodemSend:
      return xyz::XmodemSend(line, filePath, progress);
    case kYmodemSend:
      return xyz::YmodemSend(line, filePath, progress);
    case kZmodemSend:
      return xyz::ZmodemSend(line, filePath, progress);
    default:
      return xyz::kFailed;
  }
}

int ReceiveFileXyz(LibraryPort& port, int protocol, const std::string& targetPath,
                   std::string& senderName, const xyz::Progress& progress) {
  senderName.clear();
  if (!port.IsOpen()) return xyz::kFailed;
  xyz::FdLine line(port.device_.fd(), port.wake_.fd());
  switch (protocol) {
    case kXmodemReceive:
      return xyz::XmodemReceive(line, targetPath, progress);
    case kYmodemReceive:
      return xyz::YmodemReceive(line, targetPath, senderName, progress);
    case kZmodemReceive:
      return xyz::ZmodemReceive(line, targetPath, senderName, progress);
    default:
      return xyz::kFailed;
  }
}

}  // namespace quillon
