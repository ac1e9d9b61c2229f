#include "quorbus_wire.h"

#include "block.h"

namespace sim::quorbus {
namespace {

constexpr int kByteTimeoutMs = 2000;

}  // namespace

std::string ReplyFrame(std::uint8_t address, std::string_view data, bool withAck,
                       bool badChecksum) {
  std::string frame;
  frame += kStx;
  frame += static_cast<char>(address);
  frame += data;
  frame += kEtx;
  const unsigned sum = Checksum(frame);
  frame += Hex2(badChecksum ? (sum + 1) % 256 : sum);
  frame += kCr;
  return withAck ? std::string(1, kAck) + frame : frame;
}

char DigitsByte(int value) { return static_cast<char>(128 + (value % 10) * 10 + value / 10); }

std::string DecodeDigits(std::string_view line) {
  std::string out;
  for (const char c : line) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 128) {
      out += c;
      continue;
    }
    const int value = ((b - 128) % 10) * 10 + (b - 128) / 10;
    if (value < 10) out += '0';
    out += std::to_string(value);
  }
  return out;
}

Io RequestReader::Next(Request& request) {
  for (;;) {
    std::uint8_t byte = 0;
    const Io io = line_.ReadByte(Clock::time_point::max(), byte);
    if (io != Io::kOk) return io;
    if (byte == static_cast<std::uint8_t>(kAck)) {
      request = Request{Request::Kind::kRawAck, 0, {}, {}};
      return Io::kOk;
    }
    if (byte == static_cast<std::uint8_t>(kStx)) return ReadFrame(request);
  }
}

Io RequestReader::ReadFrame(Request& request) {
  request = Request{};
  std::string frame(1, kStx);
  auto next = [&](std::uint8_t& byte) {
    return line_.ReadByte(Clock::now() + std::chrono::milliseconds(kByteTimeoutMs), byte);
  };
  std::uint8_t byte = 0;
  // Up to ESC ETX; a new STX starts the frame over, so the reader finds its way back after
  // a frame broken off.
  for (;;) {
    const Io io = next(byte);
    if (io == Io::kTimeout) {
      request.fault = "Rahmen unvollständig";
      return Io::kOk;
    }
    if (io != Io::kOk) return io;
    if (byte == static_cast<std::uint8_t>(kStx)) {
      frame.assign(1, kStx);
      continue;
    }
    frame += static_cast<char>(byte);
    if (byte == static_cast<std::uint8_t>(kEtx) && frame.size() >= 5 &&
        frame[frame.size() - 2] == kEsc) {
      break;
    }
    if (frame.size() > kMaxFrame) {
      request.fault = "Rahmen länger als 255 Byte";
      return Io::kOk;
    }
  }
  std::string tail;
  while (tail.size() < 3) {
    const Io io = next(byte);
    if (io == Io::kTimeout) {
      request.fault = "Prüfsumme oder CR fehlt";
      return Io::kOk;
    }
    if (io != Io::kOk) return io;
    tail += static_cast<char>(byte);
  }
  if (frame[2] != kEsc) {
    request.fault = "kein ESC nach dem Adressbyte";
  } else if (tail[2] != kCr) {
    request.fault = "kein CR nach der Prüfsumme";
  } else if (tail.substr(0, 2) != Hex2(Checksum(frame))) {
    request.fault = "falsche Prüfsumme " + tail.substr(0, 2);
  } else {
    request.kind = Request::Kind::kFrame;
    request.address = static_cast<std::uint8_t>(frame[1]);
    request.text = frame.substr(3, frame.size() - 5);
  }
  return Io::kOk;
}

}  // namespace sim::quorbus
