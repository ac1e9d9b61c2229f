#include "radio/quorbus_line.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "common/clock.h"
#include "radio/quorbus_frames.h"

namespace quillon {

using quorbus::HasMarker;
using quorbus::kInvalidReply;
using quorbus::kNoReply;
using quorbus::kOk;
using quorbus::Marker;

namespace {

constexpr int kNotAcknowledged = -7;
constexpr int kEmptyRecord = -8;
constexpr int kBadKind = -8;
constexpr int kDeliverySys = -7;
constexpr int kDeliveryAck = -8;
constexpr int kDeliveryNak = -9;

// Room for one reply, all pieces together.
constexpr size_t kMaxReply = 256;
// Bounds of one read of stored data: a satellite that never sends its end marker must not fill
// the memory or hold the line for ever.
constexpr size_t kMaxStoredText = 64 * 1024;
constexpr int kMaxStoredLines = 4096;
// A satellite that keeps answering "<SYS>"/"<RUN>" after being switched off is given up after
// this many questions.
constexpr int kMaxSwitchSteps = 100;
constexpr int kSwitchStepMs = 50;
constexpr int kSettleMs = 2000;
// Sleeps are cut into slices of this length so that an abort without a wake-up descriptor
// ends them soon.
constexpr uint64_t kSleepSliceMs = 50;
// Pause values come from a settings file; a wrong value must not stop the line for good.
constexpr int kMaxPauseMs = 60000;

int Pause(const std::atomic<int>& value) {
  return std::clamp(value.load(std::memory_order_relaxed), 0, kMaxPauseMs);
}

int CommandPause() { return Pause(ProcessRadioPauses().satCmdDelay); }
int OnlineOfflinePause() { return Pause(ProcessRadioPauses().onlineOfflineDelay); }

}  // namespace

RadioPauses& ProcessRadioPauses() {
  static RadioPauses pauses;
  return pauses;
}

QuorbusLine::QuorbusLine(TOrvComm& port, const ShutdownState* shutdown)
    : port_(port), shutdown_(shutdown), nextPause_(CommandPause()) {}

bool QuorbusLine::Interrupted() const {
  return port_.AbortRequested() || !port_.IsOpen() ||
         (shutdown_ != nullptr && shutdown_->IsShuttingDown());
}

bool QuorbusLine::SleepUntil(uint64_t dueMs) const {
  for (;;) {
    if (Interrupted()) return false;
    const uint64_t now = Clock();
    if (now >= dueMs) return true;
    const uint64_t slice = std::min(dueMs - now, kSleepSliceMs);
    std::this_thread::sleep_until(std::chrono::steady_clock::now() +
                                  std::chrono::milliseconds(slice));
  }
}

bool QuorbusLine::WaitPause() {
  const uint64_t due = lastExchange_ + static_cast<uint64_t>(nextPause_);
  // One millisecond more, so that a whole pause has passed whatever the clock's rounding.
  const bool ok = Clock() >= due || SleepUntil(due + 1);
  nextPause_ = CommandPause();
  return ok && !Interrupted();
}

int QuorbusLine::WriteRawAck(bool afterPause) {
  if (afterPause && !WaitPause()) return kNoReply;
  const char ack = quorbus::kAck;
  const int written = port_.WriteBlock(&ack, 1);
  lastExchange_ = Clock();
  return written == 0 ? kOk : kNoReply;
}

std::string QuorbusLine::ReadPiece(size_t room) {
  std::string piece;
  while (piece.size() < room) {
    uint8_t c = 0;
    if (port_.ReadChar(c) != 1) break;
    piece += static_cast<char>(c);
    if (c == static_cast<uint8_t>(quorbus::kCr)) break;
  }
  return piece;
}

int QuorbusLine::ReadReply(std::string& raw, bool followUp) {
  // A follow-up line carries no ACK of its own; the one put in front counts as read.
  raw.assign(followUp ? 1 : 0, quorbus::kAck);
  while (raw.size() < kMaxReply) {
    const std::string piece = ReadPiece(kMaxReply - raw.size());
    if (piece.empty()) return kNoReply;
    raw += piece;
    if (piece[0] == '\0' || piece.find(quorbus::kEtx) != std::string::npos) break;
  }
  return kOk;
}

int QuorbusLine::SatCommand(int address, bool satellite, std::string_view command,
                            std::string& reply) {
  reply.clear();
  const auto addressByte = quorbus::AddressByte(address, satellite);
  if (!addressByte || !port_.IsOpen()) return kNoReply;
  if (!command.empty()) {
    if (!WaitPause()) return kNoReply;
    const std::string frame = quorbus::BuildRequest(*addressByte, command);
    const int written = port_.WriteString(frame);
    lastExchange_ = Clock();
    if (written != 0) return kNoReply;
  }
  std::string raw;
  const int read = ReadReply(raw, command.empty());
  lastExchange_ = Clock();
  if (read != kOk) return read;
  return quorbus::CheckReply(raw, *addressByte, reply);
}

int QuorbusLine::SatCommandAcked(int id, std::string_view command) {
  std::string reply;
  const int result = SatCommand(id, true, command, reply);
  if (result == kOk && !HasMarker(reply, Marker::Ack)) return kNotAcknowledged;
  return result;
}

int QuorbusLine::StatusCheck(int id) {
  std::string reply;
  return SatCommand(id, true, "5", reply);
}

int QuorbusLine::PollingSwitch(int id, bool on, bool dollar) {
  std::string command = on ? "3" : "4";
  if (dollar) command += '$';
  std::string reply;
  if (on) {
    const int result = SatCommand(id, true, command, reply);
    nextPause_ = OnlineOfflinePause();
    return result;
  }
  nextPause_ = OnlineOfflinePause();
  int result = SatCommand(id, true, command, reply);
  // A failed "5" empties the reply and so ends the wait with its result.
  for (int step = 0; HasMarker(reply, Marker::Sys) || HasMarker(reply, Marker::Run); ++step) {
    if (step == kMaxSwitchSteps) return kInvalidReply;
    if (!SleepUntil(Clock() + kSwitchStepMs)) return kNoReply;
    result = SatCommand(id, true, "5", reply);
  }
  return result;
}

int QuorbusLine::ModeSwitch(int id) { return SatCommandAcked(id, "M0"); }

int QuorbusLine::Identify(int id, int kind, std::string& reply) {
  static constexpr std::string_view kCommands[] = {"5", "8", "8$"};
  reply.clear();
  if (kind < 1 || kind > 3) return kBadKind;
  return SatCommand(id, true, kCommands[kind - 1], reply);
}

int QuorbusLine::ConfigureSatellite(int currentId, int newId, int baud, int firstTerminal,
                                    int lastTerminal) {
  if (const int bad = quorbus::CheckConfiguration(newId, baud, firstTerminal, lastTerminal)) {
    return bad;
  }
  std::string reply;
  (void)SatCommand(currentId, true, "6", reply);  // its reply does not matter
  if (!SleepUntil(Clock() + kSettleMs)) return kNoReply;
  (void)port_.Purge(1);  // a closed port fails the command below
  return SatCommand(currentId, true,
                    quorbus::ConfigurationCommand(newId, baud, firstTerminal, lastTerminal), reply);
}

int QuorbusLine::ReadStoredData(int address, bool satellite, std::string& text) {
  text.clear();
  const Marker end = satellite ? Marker::Eof : Marker::Eot;
  std::string data;
  int result = SatCommand(address, satellite, "0*", data);
  for (int line = 0; result == kOk && !HasMarker(data, end); ++line) {
    if (line >= kMaxStoredLines) {
      result = kInvalidReply;
      break;
    }
    if (!HasMarker(data, Marker::Eof) && (satellite || line > 0)) {
      const std::string converted = quorbus::ConvertStoredLine(data);
      if (text.size() + converted.size() + 2 > kMaxStoredText) {
        result = kInvalidReply;
        break;
      }
      text += converted;
      text += "\r\n";
    }
    result = WriteRawAck(!satellite);
    if (result == kOk) result = SatCommand(address, satellite, "", data);
  }
  if (result == kOk && !satellite && text.empty()) result = WriteRawAck(true);
  if (result != kOk) text.clear();
  return result;
}

int QuorbusLine::ConfirmStoredData(int address, bool satellite) {
  if (!quorbus::AddressByte(address, satellite)) return kNoReply;
  if (!satellite) {
    if (const int result = WriteRawAck(true)) return result;
  }
  std::string reply;
  const int result = SatCommand(address, satellite, "1*", reply);
  if (result != kOk || satellite) return result;
  return WriteRawAck(true);
}

int QuorbusLine::SendToTerminal(int id, int terminal, bool oneFrame, std::string_view record) {
  if (record.empty()) return kEmptyRecord;
  const auto terminalByte = quorbus::TerminalByte(terminal);
  if (!terminalByte) return kNoReply;
  const std::string t(1, *terminalByte);
  if (oneFrame) {
    const int result = SatCommandAcked(id, "W" + t + std::string(record));
    if (record.size() > 10) nextPause_ = OnlineOfflinePause();
    return result;
  }
  int result = SatCommandAcked(id, "O" + t);
  if (result == kOk) result = SatCommandAcked(id, "2" + t + std::string(record));
  std::string reply;
  const int closed = SatCommand(id, true, "C" + t, reply);
  return result != kOk ? result : closed;
}

int QuorbusLine::DeliveryQuestion(int id, int terminal) {
  const auto terminalByte = quorbus::TerminalByte(terminal);
  if (!terminalByte) return kNoReply;
  nextPause_ = 2 * OnlineOfflinePause();
  std::string reply;
  if (const int result = SatCommand(id, true, std::string("D") + *terminalByte, reply)) {
    return result;
  }
  if (HasMarker(reply, Marker::Del)) return kOk;
  if (HasMarker(reply, Marker::Sys)) return kDeliverySys;
  if (HasMarker(reply, Marker::Ack)) return kDeliveryAck;
  if (HasMarker(reply, Marker::Nak)) return kDeliveryNak;
  return kInvalidReply;
}

}  // namespace quillon
