#include "radio/quorbus_frames.h"

namespace quillon::quorbus {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
// STX addr ESC + ESC ETX around the command text.
constexpr size_t kFrameOverhead = 5;

uint8_t Sum(std::string_view bytes) {
  unsigned sum = 0;
  for (const char c : bytes) sum += static_cast<uint8_t>(c);
  return static_cast<uint8_t>(sum & 0xFFu);
}

}  // namespace

std::optional<uint8_t> AddressByte(int address, bool satellite) {
  if (address < 0 || address > kMaxAddress) return std::nullopt;
  return static_cast<uint8_t>(address + (satellite ? kSatelliteOffset : 0));
}

std::string ChecksumText(std::string_view bytes) {
  const uint8_t sum = Sum(bytes);
  return {kHexDigits[sum >> 4], kHexDigits[sum & 0x0F]};
}

std::string BuildRequest(uint8_t addressByte, std::string_view command) {
  const std::string_view text = command.substr(0, kMaxFramedPart - kFrameOverhead);
  std::string frame;
  frame.reserve(text.size() + kFrameOverhead + 3);
  frame += kStx;
  frame += static_cast<char>(addressByte);
  frame += kEsc;
  frame += text;
  frame += kEsc;
  frame += kEtx;
  frame += ChecksumText(frame);
  frame += kCr;
  return frame;
}

int CheckReply(std::string_view reply, uint8_t addressByte, std::string& data) {
  data.clear();
  if (reply.size() < kMinReplyLength || reply[0] != kAck || reply[1] != kStx ||
      static_cast<uint8_t>(reply[2]) != addressByte) {
    return kInvalidReply;
  }
  // The address byte itself may be 3 (terminal 3), so ETX is looked for after it.
  const size_t etx = reply.find(kEtx, 3);
  if (etx == std::string_view::npos || etx + 2 >= reply.size()) return kInvalidReply;
  if (reply.substr(etx + 1, 2) != ChecksumText(reply.substr(1, etx))) return kInvalidReply;
  data.assign(reply.substr(3, etx - 3));
  return kOk;
}

std::string NumberByteText(uint8_t b) {
  if (b < 128) return std::string(1, static_cast<char>(b));
  // ((n mod 10) * 10 + n div 10) with a leading zero is n's two digits swapped. Bytes above
  // 128 + 99 would give three digits; their hundreds digit is dropped, so every byte becomes
  // exactly two digits (255, n = 127, gives "72").
  const int n = b - 128;
  return {static_cast<char>('0' + n % 10), static_cast<char>('0' + (n / 10) % 10)};
}

std::string ConvertStoredLine(std::string_view line) {
  std::string text;
  text.reserve(line.size() * 2);
  for (const char c : line) text += NumberByteText(static_cast<uint8_t>(c));
  return text;
}

std::optional<char> TerminalByte(int number) {
  if (number < 0 || number > kMaxTerminalNumber) return std::nullopt;
  return static_cast<char>(number + 128);
}

std::optional<uint8_t> BaudCode(int baud) {
  switch (baud) {
    case 9600:
      return 51;
    case 19200:
      return 25;
    case 38400:
      return 12;
    default:
      return std::nullopt;
  }
}

int CheckConfiguration(int newId, int baud, int firstTerminal, int lastTerminal) {
  if (newId < 0 || newId > kMaxAddress) return -7;
  if (firstTerminal < 0 || lastTerminal < firstTerminal || lastTerminal > kMaxTerminalNumber) {
    return -8;
  }
  if (!BaudCode(baud)) return -9;
  return kOk;
}

std::string ConfigurationCommand(int newId, int baud, int firstTerminal, int lastTerminal) {
  if (CheckConfiguration(newId, baud, firstTerminal, lastTerminal) != kOk) return {};
  std::string command = "L";
  command += static_cast<char>(*BaudCode(baud));
  command += '3';
  command += static_cast<char>(*AddressByte(newId, true));
  command += *TerminalByte(firstTerminal);
  command += *TerminalByte(lastTerminal);
  return command;
}

std::string_view MarkerText(Marker marker) {
  switch (marker) {
    case Marker::Ack:
      return "<ACK>";
    case Marker::Sys:
      return "<SYS>";
    case Marker::Run:
      return "<RUN>";
    case Marker::Del:
      return "<DEL>";
    case Marker::Nak:
      return "<NAK>";
    case Marker::Eof:
      return "<EOF>";
    case Marker::Eot:
      return "<EOT>";
  }
  return {};
}

bool HasMarker(std::string_view data, Marker marker) {
  return data.find(MarkerText(marker)) != std::string_view::npos;
}

}  // namespace quillon::quorbus
