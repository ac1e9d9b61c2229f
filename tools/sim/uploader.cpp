#include "uploader.h"

#include <cstdio>
#include <fstream>

#include "output.h"

namespace sim {
namespace {

constexpr char kAck = 0x06;
constexpr char kStx = 0x02;
constexpr char kSoh = 0x01;
constexpr char kEtx = 0x03;
constexpr char kEsc = 0x1B;
constexpr int kStartRate = 19200;
constexpr int kRateResetMs = 1000;
constexpr std::size_t kMaxLine = 4096;

int RateFor(char c) {
  switch (c) {
    case '6':
      return 19200;
    case '8':
      return 38400;
    case '9':
      return 57600;
    default:
      return 0;
  }
}

int HexValue(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Target {
 public:
  explicit Target(Session& s) : s_(s) {}

  bool Run() {
    if (!s_.options.receivedFile.empty()) {
      out_.open(s_.options.receivedFile, std::ios::binary | std::ios::trunc);
      if (!out_)
        return s_.Fail("Datei " + s_.options.receivedFile + " kann nicht geschrieben werden");
    }
    for (;;) {
      std::uint8_t byte = 0;
      const auto limit = rate_ == kStartRate
                             ? Clock::time_point::max()
                             : Clock::now() + std::chrono::milliseconds(kRateResetMs);
      const Io io = s_.line.ReadByte(limit, byte);
      if (io == Io::kTimeout) {
        SwitchRate(kStartRate);
        continue;
      }
      if (io == Io::kClosed) return Finish();
      if (io != Io::kOk) return s_.Fail(Describe(io));
      bool ok = true;
      if (byte == '*' && line_.empty()) {
        ok = Handshake();
      } else if (byte == kStx && line_.empty()) {
        bool end = false;
        ok = Envelope(end);
        if (ok && end) return Finish();
      } else {
        ok = HexByte(byte);
      }
      if (!ok) return false;
    }
  }

 private:
  Io Next(std::uint8_t& byte) {
    return s_.line.ReadByte(Clock::now() + std::chrono::milliseconds(s_.options.ackTimeoutMs),
                            byte);
  }

  bool Finish() {
    if (lines_ > 0) Say("LINES " + std::to_string(lines_));
    if (frames_ > 0) Say("FRAMES " + std::to_string(frames_));
    return true;
  }

  void SwitchRate(int rate) {
    if (rate == rate_) return;
    rate_ = rate;
    s_.line.SetBaud(rate);
  }

  bool Acknowledging() const {
    return s_.options.ackLimit < 0 || acknowledged_ < s_.options.ackLimit;
  }

  bool Handshake() {
    std::string text = "*";
    std::uint8_t byte = 0;
    while (text.size() < 8) {
      const Io io = Next(byte);
      if (io != Io::kOk) return io == Io::kTimeout || s_.Fail(Describe(io));
      text += static_cast<char>(byte);
      if (byte == '#') break;
    }
    const int rate = text.size() == 4 && text[1] == 'b' ? RateFor(text[2]) : 0;
    Say("HANDSHAKE " + Printable(text));
    if (rate == 0 || s_.options.silentHandshake) return true;
    if (!s_.Answer(kAck)) return false;
    SwitchRate(rate);
    Say("RATE " + std::to_string(rate));
    return true;
  }

  bool HexByte(std::uint8_t byte) {
    if (byte != '\n') {
      if (line_.size() < kMaxLine) line_ += static_cast<char>(byte);
      return true;
    }
    if (line_.empty() || line_.back() != '\r')
      Say("LINE WITHOUT CR");
    else
      line_.pop_back();
    ++lines_;
    Write(line_ + "\n");
    line_.clear();
    if (!Acknowledging()) return true;
    ++acknowledged_;
    return s_.Answer(kAck);
  }

  bool Envelope(bool& end) {
    std::string payload;
    std::uint8_t byte = 0;
    unsigned sum = kStx;
    Io io = Next(byte);
    if (io != Io::kOk) return io == Io::kTimeout || s_.Fail(Describe(io));
    if (byte != kSoh) {
      Say("BAD ENVELOPE");
      return true;
    }
    sum += kSoh;
    for (;;) {
      io = Next(byte);
      if (io != Io::kOk) return io == Io::kTimeout || s_.Fail(Describe(io));
      sum += byte;
      if (byte == kEtx) break;
      payload += static_cast<char>(byte);
    }
    std::uint8_t tail[3] = {};
    for (std::uint8_t& c : tail) {
      io = Next(c);
      if (io != Io::kOk) return io == Io::kTimeout || s_.Fail(Describe(io));
    }
    const int hi = HexValue(tail[0]);
    const int lo = HexValue(tail[1]);
    if (hi < 0 || lo < 0 || tail[2] != '\r' || static_cast<unsigned>(hi * 16 + lo) != sum % 256) {
      Say("BAD CHECKSUM " + Printable(std::string(reinterpret_cast<char*>(tail), 3)));
      return true;
    }
    if (payload.size() == 15 && payload[0] == kEsc && payload[1] == 'Z' && payload[14] == kEsc) {
      Say("CLOCK " + payload.substr(2, 12));
      return s_.line.Write(s_.options.ackText, 1000) == Io::kOk || s_.Fail("Schreibfehler");
    }
    if (payload == std::string{kEsc, 'B', kEsc}) {
      Say("END");
      end = true;
      return true;
    }
    ++frames_;
    Write(payload);
    Say("FRAME " + std::to_string(frames_) + " " + std::to_string(payload.size()));
    if (!Acknowledging()) return true;
    ++acknowledged_;
    return s_.line.Write(s_.options.ackText, 1000) == Io::kOk || s_.Fail("Schreibfehler");
  }

  void Write(const std::string& bytes) {
    if (!out_.is_open()) return;
    out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out_.flush();
  }

  Session& s_;
  std::ofstream out_;
  std::string line_;
  int rate_ = kStartRate;
  long lines_ = 0;
  long frames_ = 0;
  long acknowledged_ = 0;
};

}  // namespace

bool RunUploaderTarget(Session& s) { return Target(s).Run(); }

}  // namespace sim
