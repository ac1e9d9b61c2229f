#include "upload_worker.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string_view>

#include "serial_port.h"

namespace sollex {
namespace {

constexpr char kEsc = 0x1B;
constexpr char kStx = 0x02;
constexpr char kSoh = 0x01;
constexpr char kEtx = 0x03;
constexpr std::uint8_t kAck = 0x06;
constexpr std::size_t kMaxPiece = 255;
constexpr int kAckReads = 50;
constexpr int kFrameAckReads = 9;

constexpr char kCtrlZ = 0x1A;

bool Cancelled(const UploadJob& job) { return job.cancel != nullptr && job.cancel->IsSet(); }

// A pause that a cancel ends at once; true when cancelled.
bool Pause(const UploadJob& job, int ms) { return PauseUnlessCancelled(job.cancel, ms); }

void Say(const UploadJob& job, int code, long value = 0, std::string text = {}) {
  if (job.report) job.report(Report{code, value, std::move(text)});
}

bool ReadFile(const std::string& path, std::string& content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

int RateOf(int rateIndex) {
  switch (rateIndex) {
    case 0:
      return 19200;
    case 1:
      return 38400;
    case 3:
      return 9600;
    default:
      return 57600;
  }
}

std::string HandshakeString(int rateIndex) {
  const char c = rateIndex == 0 ? '6' : rateIndex == 1 ? '8' : '9';
  return std::string("*b") + c + "#";
}

std::string Envelope(const std::string& payload) {
  std::string out;
  out.reserve(payload.size() + 6);
  out += kStx;
  out += kSoh;
  out += payload;
  out += kEtx;
  unsigned sum = 0;
  for (const char c : out) sum += static_cast<unsigned char>(c);
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", sum % 256);
  out += hex;
  out += '\r';
  return out;
}

std::string ClockPayload(const std::tm& t) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%cZ%02d%02d%02d%02d%02d%02d%c", kEsc,
                (t.tm_year + 1900 - 2000) % 100, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min,
                t.tm_sec, kEsc);
  return buffer;
}

std::string EndPayload() { return std::string{kEsc, 'B', kEsc}; }

int CountFrameJoints(const std::string& content) {
  int joints = 0;
  for (std::size_t i = 1; i < content.size(); ++i) {
    if (content[i] == kEsc && content[i - 1] == kEsc) ++joints;
  }
  return joints;
}

std::vector<std::string> SplitFrames(const std::string& content) {
  std::vector<std::string> frames;
  std::size_t pos = content.find(kEsc);
  while (pos != std::string::npos) {
    const std::size_t close = content.find(kEsc, pos + 1);
    if (close == std::string::npos) {
      frames.push_back(content.substr(pos));
      break;
    }
    frames.push_back(content.substr(pos, close - pos + 1));
    pos = content.find(kEsc, close + 1);
  }
  return frames;
}

std::vector<std::string> HexPieces(const std::string& file, std::vector<long>* lengths) {
  std::string_view content = file;
  const std::size_t tail = content.find_last_not_of("\r\n\x1a");
  const std::size_t ctrlZ = content.find(kCtrlZ, tail == std::string_view::npos ? 0 : tail + 1);
  if (ctrlZ != std::string_view::npos) content = content.substr(0, ctrlZ);
  std::vector<std::string> pieces;
  std::size_t pos = 0;
  while (pos < content.size()) {
    std::size_t lf = content.find('\n', pos);
    const bool hasEnd = lf != std::string::npos;
    if (!hasEnd) lf = content.size();
    std::size_t end = lf;
    if (hasEnd && end > pos && content[end - 1] == '\r') --end;
    const std::size_t lineEndBytes = (hasEnd ? 1 : 0) + (lf - end);
    std::size_t at = pos;
    do {
      const std::size_t n = std::min(kMaxPiece, end - at);
      pieces.emplace_back(content.substr(at, n));
      at += n;
      if (lengths) lengths->push_back(static_cast<long>(n + (at == end ? lineEndBytes : 0)));
    } while (at < end);
    pos = hasEnd ? lf + 1 : content.size();
  }
  return pieces;
}

std::vector<std::string> BankFiles(const std::string& path) {
  std::vector<std::string> banks;
  if (path.empty() || path.back() != '0') return {path};
  for (char digit = '0'; digit <= '9'; ++digit) {
    std::string bank = path;
    bank.back() = digit;
    if (!Exists(bank)) break;
    banks.push_back(bank);
  }
  return banks;
}

void RunHexTransfer(const UploadJob& job) {
  SerialPort port;
  port.setRemapFile(job.remapFile);
  if (job.cancel) port.setWakeFd(job.cancel->WakeFd());
  if (!port.Open(job.portIndex + 1, 19200, Parity::kEven, 7, 0, 100)) {
    Say(job, kPortError, port.lastError());
    return;
  }
  // A cancel ends the transfer where it is noticed; nothing more is sent.
  const auto stop = [&job, &port] {
    Say(job, kCancelled);
    port.Close();
    Say(job, kDone);
  };
  const bool bankSet = !job.path.empty() && job.path.back() == '0';
  std::vector<std::string> banks = BankFiles(job.path);
  if (bankSet) {
    // Not even the first bank: it is reported as a file that cannot be opened.
    if (banks.empty()) banks.push_back(job.path);
    Say(job, kBankCount, static_cast<long>(banks.size()));
  }
  const std::string handshake = HandshakeString(job.rateIndex);
  for (std::size_t bank = 0; bank < banks.size(); ++bank) {
    if (Cancelled(job)) return stop();
    port.SetBaud(19200);
    Say(job, kRate, 0);
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (!port.WriteBlock(handshake)) {
        Say(job, kHandshakeError, port.lastError());
        return;
      }
      if (port.ReadByte() == kAck) {
        port.SetBaud(RateOf(job.rateIndex));
        Say(job, kRate, job.rateIndex);
        break;
      }
      if (Cancelled(job)) return stop();
    }
    if (Pause(job, 100)) return stop();
    if (bankSet) Say(job, kBankNumber, static_cast<long>(bank + 1));
    std::string content;
    if (!ReadFile(banks[bank], content)) {
      Say(job, kFileError, static_cast<long>(bank));
      return;
    }
    std::vector<long> lengths;
    const std::vector<std::string> pieces = HexPieces(content, &lengths);
    long total = 0;
    for (const long n : lengths) total += n;
    Say(job, kLineCount, static_cast<long>(pieces.size()));
    Say(job, kTotalBytes, total);
    Say(job, kFilePath, 0, banks[bank]);
    long sent = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      sent += lengths[i];
      const std::string line = pieces[i] + "\r\n";
      if (!port.WriteBlock(line)) {
        Say(job, kWriteError, port.lastError());
        return;
      }
      bool acked = false;
      for (int read = 0; read < kAckReads && !acked; ++read) {
        if (Cancelled(job)) return stop();
        acked = port.ReadByte() == kAck;
        if (!acked) Pause(job, 10);
      }
      if (!acked) {
        port.Close();
        Say(job, kNoAck);
        return;
      }
      Say(job, kBytesSent, sent);
    }
    if (bankSet) {
      char drop[50];
      port.ReadBlock(drop, sizeof drop);
      if (Pause(job, job.bankPauseMs)) return stop();
    }
  }
  port.Close();
  Say(job, kDone);
}

void RunScriptTransfer(const UploadJob& job) {
  SerialPort port;
  port.setRemapFile(job.remapFile);
  if (job.cancel) port.setWakeFd(job.cancel->WakeFd());
  if (!port.Open(job.portIndex + 1, 9600, Parity::kMark, 8, 0, 500)) {
    Say(job, kPortError, port.lastError());
    return;
  }
  Say(job, kRate, 3);
  std::string content;
  if (!ReadFile(job.path, content)) {
    port.Close();
    Say(job, kFileError, 0);
    return;
  }
  const std::vector<std::string> frames = SplitFrames(content);
  bool fits = true;
  for (const std::string& frame : frames) fits = fits && frame.size() <= kMaxPayload;
  if (CountFrameJoints(content) == 0 || !fits) {
    port.Close();
    Say(job, kWrongFormat);
    return;
  }
  Say(job, kFrameCount, static_cast<long>(frames.size()));
  Say(job, kFilePath, 0, job.path);

  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  if (!port.WriteBlock(Envelope(ClockPayload(local)))) {
    Say(job, kWriteError, port.lastError());
    return;
  }
  char answer[50];
  port.ReadBlock(answer, sizeof answer);

  bool cancelled = false;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (Cancelled(job)) {
      cancelled = true;
      break;
    }
    if (!port.WriteBlock(Envelope(frames[i]))) {
      Say(job, kWriteError, port.lastError());
      return;
    }
    // The answer may come in pieces: look for "<ACK>" in everything read so far.
    std::string received;
    bool acked = false;
    for (int read = 0; read < kFrameAckReads && !acked; ++read) {
      if (Cancelled(job)) {
        cancelled = true;
        break;
      }
      const std::size_t n = port.ReadAvailable(answer, sizeof answer, 500);
      received.append(answer, n);
      acked = received.find("<ACK>") != std::string::npos;
      if (!acked) Pause(job, 10);
    }
    if (cancelled) break;
    if (!acked) {
      port.Close();
      Say(job, kNoFrameAck);
      return;
    }
    Say(job, kFrameSent, static_cast<long>(i + 1));
  }
  if (cancelled) Say(job, kCancelled);
  if (!port.WriteBlock(Envelope(EndPayload()))) {
    Say(job, kWriteError, port.lastError());
    return;
  }
  port.Close();
  Say(job, kDone);
}

}  // namespace sollex
