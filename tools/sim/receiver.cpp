#include "receiver.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "block.h"
#include "output.h"

namespace sim {
namespace {

enum class Read { kFrame, kNothing, kError };

// Reads one frame: skips to the next '-', then takes as many bytes as the length field says.
// A frame cut short by the time-out is returned as far as it got, for the check to reject.
Read ReadFrame(Session& s, std::string& frame) {
  frame.clear();
  const auto step = std::chrono::milliseconds(s.options.ackTimeoutMs);
  std::size_t want = 1;
  while (frame.size() < want) {
    std::uint8_t b = 0;
    const Io io = s.line.ReadByte(Clock::now() + step, b);
    if (io == Io::kTimeout) return frame.empty() ? Read::kNothing : Read::kFrame;
    if (io != Io::kOk) {
      s.Fail("Empfang: " + Describe(io));
      return Read::kError;
    }
    if (frame.empty() && b != '-') continue;
    frame += static_cast<char>(b);
    if (frame.size() == 1) want = 3;
    if (frame.size() == 3) {
      const int high = HexValue(static_cast<std::uint8_t>(frame[1]));
      const int low = HexValue(static_cast<std::uint8_t>(frame[2]));
      if (high < 0 || low < 0) return Read::kFrame;
      want = static_cast<std::size_t>(high * 16 + low) + 8;
    }
  }
  return Read::kFrame;
}

struct LastBlock {
  bool valid = false;
  char type = 0;
  std::string data;
  int counter = -1;
  bool Repeats(const ParsedBlock& b) const {
    return valid && b.counter == counter && b.type == type && b.data == data;
  }
};

}  // namespace

bool StaySilent(Session& s, int accepted) {
  Say("SILENT " + std::to_string(accepted));
  for (;;) {
    std::uint8_t b = 0;
    const Io io = s.line.ReadByte(Clock::time_point::max(), b);
    if (io != Io::kOk) {
      return s.Fail("nach " + std::to_string(accepted) + " angenommenen verstummt, dann " +
                    Describe(io));
    }
  }
}

bool ReceiveTransfer(Session& s, ReceivedTransfer& transfer) {
  transfer = ReceivedTransfer{};
  int expected = 0;
  LastBlock last;
  int failures = 0;
  std::string frame;
  const char* lastFault = "";
  int accepted = 0;
  bool refusing = false;
  for (;;) {
    if (failures > s.options.maxRetries) {
      return s.Fail(std::string("Empfang nach ") + std::to_string(s.options.maxRetries) +
                    " Wiederholungen abgebrochen (zuletzt: " + lastFault + ")");
    }
    const Read read = ReadFrame(s, frame);
    if (read == Read::kError) return false;
    if (read == Read::kNothing) {
      // Silence: our last answer may have been lost; ask for the block again.
      ++failures;
      lastFault = "keine Daten";
      if (!s.Answer(kNak)) return false;
      continue;
    }
    const ParsedBlock block = ParseBlock(frame);
    if (block.kind == ParsedBlock::Kind::kBad) {
      ++failures;
      lastFault = block.fault;
      if (!s.Answer(kNak)) return false;
      continue;
    }
    if (const auto kind = s.faults.Draw()) {
      // A fault on the answer: the good block is refused, or its answer never leaves.
      ++failures;
      lastFault = "absichtlicher Fehler";
      if (*kind != FaultKind::kSilence && !s.Answer(kNak)) return false;
      continue;
    }
    const Options& o = s.options;
    if (o.silentAfter > 0 && accepted >= o.silentAfter) return StaySilent(s, accepted);
    if (o.refuseAfter > 0 && accepted >= o.refuseAfter) {
      // Refused for good: no count of failures, the other side gives up on its own.
      if (!refusing) Say("REFUSING " + std::to_string(accepted));
      refusing = true;
      if (!s.Answer(kNak)) return false;
      continue;
    }
    if (block.kind == ParsedBlock::Kind::kEnd) return s.Answer(kAck);
    if (block.type == kTypeFirst && block.counter == 0) {
      // A first block starts the transfer afresh, also when the PC repeats it from the start.
      transfer.header = block.data;
      transfer.lines.clear();
    } else if (block.type == kTypeNext && block.counter == expected) {
      transfer.lines.push_back(block.data);
    } else if (last.Repeats(block)) {
      // Our ACK got lost and the PC sent the block again: acknowledge, keep it once.
      failures = 0;
      if (!s.Answer(kAck)) return false;
      continue;
    } else {
      ++failures;
      lastFault = "Blockzähler falsch";
      if (!s.Answer(kNak)) return false;
      continue;
    }
    last = LastBlock{true, block.type, block.data, block.counter};
    ++accepted;
    expected = NextCounter(block.counter);
    failures = 0;
    if (!s.Answer(kAck)) return false;
  }
}

bool WriteFileAtomically(Session& s, const std::string& path, const std::string& content) {
  const std::string tmp = path + ".tmp" + std::to_string(getpid());
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << content;
    out.flush();
    if (!out) {
      std::remove(tmp.c_str());
      return s.Fail("Datei " + path + " kann nicht geschrieben werden");
    }
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    return s.Fail("Datei " + path + " kann nicht angelegt werden");
  }
  return true;
}

bool WriteTransferFile(Session& s, const std::string& path, const ReceivedTransfer& transfer) {
  std::string content = transfer.header + "\r\n";
  for (const std::string& line : transfer.lines) content += line + "\r\n";
  return WriteFileAtomically(s, path, content);
}

}  // namespace sim
