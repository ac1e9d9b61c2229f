#include "sender.h"

#include "block.h"
#include "output.h"

namespace sim {
namespace {

enum class Outcome { kAccepted, kNoFinalAnswer, kFailed };
enum class Reply { kAccept, kReject, kNone, kError };

// Waits for ACK, ENQ or NAK until `deadline`; other bytes are skipped.
Reply WaitReply(Session& s, Clock::time_point writtenAt, Clock::time_point deadline, bool measure) {
  for (;;) {
    std::uint8_t b = 0;
    const Io io = s.line.ReadByte(deadline, b);
    if (io == Io::kTimeout) return Reply::kNone;
    if (io != Io::kOk) {
      s.Fail("Warten auf die Antwort: " + Describe(io));
      return Reply::kError;
    }
    if (b != kAck && b != kEnq && b != kNak) continue;
    if (measure) {
      const auto us =
          std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - writtenAt);
      s.turnaround.Record(us.count());
    }
    return b == kNak ? Reply::kReject : Reply::kAccept;
  }
}

// Sends one block until it is accepted or the repetitions are used up. The end block waits for
// its answer longer; without one the caller repeats the transfer.
Outcome SendBlock(Session& s, const std::string& frame, bool isEnd, TransferCounts& counts) {
  const Options& o = s.options;
  for (int attempt = 0; attempt <= o.maxRetries; ++attempt) {
    // Whatever arrived before this block cannot be its answer.
    s.line.Discard(attempt > 0);
    std::string faulted;
    std::string_view wire = frame;
    if (const auto kind = s.faults.Draw()) {
      faulted = s.faults.Apply(*kind, frame);
      wire = faulted;
    }
    const bool silent = wire.empty();
    if (!silent) {
      const Io io = s.line.Write(wire, o.ackTimeoutMs + 1000);
      if (io != Io::kOk) {
        s.Fail("Block kann nicht gesendet werden: " + Describe(io));
        return Outcome::kFailed;
      }
    }
    const auto writtenAt = Clock::now();
    const int waitMs = isEnd && !silent ? o.finalTimeoutMs : o.ackTimeoutMs;
    const Reply reply =
        WaitReply(s, writtenAt, writtenAt + std::chrono::milliseconds(waitMs), o.stats && !silent);
    switch (reply) {
      case Reply::kAccept:
        if (!faulted.empty() || silent) {
          s.Fail("Die Gegenseite hat einen absichtlich verfälschten Block angenommen: " +
                 Printable(wire));
          return Outcome::kFailed;
        }
        return Outcome::kAccepted;
      case Reply::kReject:
        ++counts.naks;
        break;
      case Reply::kNone:
        if (isEnd && !silent) return Outcome::kNoFinalAnswer;
        break;
      case Reply::kError:
        return Outcome::kFailed;
    }
  }
  // A terminal whose block is refused again and again gives the transfer up and starts it
  // anew later; the caller repeats it from the first block.
  std::fprintf(stderr, "quillon-sim: Block nach %d Wiederholungen nicht angenommen: %s\n",
               o.maxRetries, Printable(frame).c_str());
  return Outcome::kNoFinalAnswer;
}

// Leaves a transfer unfinished after `accepted` blocks: nothing more is sent, and whatever the
// other side writes (NAKs, repeated questions) is dropped until it closes the line or a stop
// signal comes. A receiver killed here has taken part of the data but never given the final ACK.
bool Hold(Session& s, int accepted) {
  Say("HOLD " + std::to_string(accepted));
  for (;;) {
    std::uint8_t b = 0;
    const Io io = s.line.ReadByte(Clock::time_point::max(), b);
    if (io != Io::kOk) {
      return s.Fail("nach Block " + std::to_string(accepted) + " angehalten, dann " + Describe(io));
    }
  }
}

}  // namespace

std::vector<std::string> SplitIntoBlocks(std::string_view content) {
  std::vector<std::string> blocks;
  while (!content.empty()) {
    const std::size_t lf = content.find('\n');
    std::string_view line = content.substr(0, lf);
    content.remove_prefix(lf == std::string_view::npos ? content.size() : lf + 1);
    if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    do {
      const std::string_view part = line.substr(0, kMaxData);
      blocks.emplace_back(part);
      line.remove_prefix(part.size());
    } while (!line.empty());
  }
  return blocks;
}

bool SendTransfer(Session& s, std::string_view header, const std::vector<std::string>& blocks,
                  const std::function<bool()>& beforeRound, TransferCounts& counts, int holdAfter) {
  counts = TransferCounts{};
  const std::size_t beforeEnd = blocks.size() + 1;  // the header block and the data blocks
  if (holdAfter > 0 && static_cast<std::size_t>(holdAfter) > beforeEnd) {
    return s.Fail("--hold-after " + std::to_string(holdAfter) + ": die Übertragung hat nur " +
                  std::to_string(beforeEnd) + " Blöcke vor dem Endeblock");
  }
  for (int round = 0; round <= s.options.transferRetries; ++round) {
    if (beforeRound && !beforeRound()) return false;
    int counter = 0;
    Outcome outcome = SendBlock(s, BuildBlock(kTypeFirst, header, counter), false, counts);
    for (std::size_t i = 0; outcome == Outcome::kAccepted; ++i) {
      if (static_cast<int>(i) + 1 == holdAfter) return Hold(s, holdAfter);
      if (i == blocks.size()) break;
      counter = NextCounter(counter);
      outcome = SendBlock(s, BuildBlock(kTypeNext, blocks[i], counter), false, counts);
    }
    if (outcome == Outcome::kAccepted) {
      outcome = SendBlock(s, std::string(kEndBlock), true, counts);
    }
    if (outcome == Outcome::kFailed) return false;
    if (outcome == Outcome::kAccepted) {
      counts.blocks = static_cast<int>(blocks.size()) + 2;
      return true;
    }
  }
  return s.Fail("Die Übertragung wurde auch nach " + std::to_string(s.options.transferRetries) +
                " Wiederholungen nicht bestätigt");
}

}  // namespace sim
