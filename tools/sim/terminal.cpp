#include "terminal.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "block.h"
#include "clock.h"
#include "mode_receiver.h"
#include "output.h"
#include "polls.h"
#include "receiver.h"
#include "sender.h"

namespace sim {
namespace {

bool SendAll(Session& s, const std::string& content) {
  const Options& o = s.options;
  const std::string header =
      o.header ? *o.header : "QUILLON-SIM," + std::filesystem::path(o.sendFile).filename().string();
  const std::vector<std::string> blocks = SplitIntoBlocks(content);
  std::function<bool()> beforeRound;
  if (!o.pollAddresses.empty()) beforeRound = [&s] { return AnswerPoll(s); };
  for (int number = 1; number <= o.transfers; ++number) {
    TransferCounts counts;
    const int holdAfter = number == 1 ? o.holdAfter : 0;
    if (!SendTransfer(s, header, blocks, beforeRound, counts, holdAfter)) {
      s.error = "Übertragung " + std::to_string(number) + ": " + s.error;
      return false;
    }
    Say("SENT " + std::to_string(number) + " " + std::to_string(counts.blocks) + " " +
        std::to_string(counts.naks));
    if (o.clock && !ReceiveClock(s)) return false;
  }
  return true;
}

bool Receive(Session& s, const std::string& file) {
  if (s.options.startNak && !s.Answer(kNak)) return false;
  ReceivedTransfer transfer;
  if (!ReceiveTransfer(s, transfer)) return false;
  if (!WriteTransferFile(s, file, transfer)) return false;
  Say("RECEIVED " + std::to_string(transfer.lines.size()));
  Say("HEADER " + Printable(transfer.header));
  return true;
}

// One more transfer after the receptions, such as the data that follows a command exchange.
bool SendAfter(Session& s) {
  std::ifstream in(s.options.thenSendFile, std::ios::binary);
  if (!in.is_open())
    return s.Fail("Datei " + s.options.thenSendFile + " kann nicht gelesen werden");
  // The other side may just be opening its line again, after a send of its own.
  const Io io = s.line.WaitForPeer(s.options.openTimeoutMs);
  if (io != Io::kOk) return s.Fail("Warten auf die Leitung: " + Describe(io));
  const std::string header =
      "QUILLON-SIM," + std::filesystem::path(s.options.thenSendFile).filename().string();
  std::ostringstream content;
  content << in.rdbuf();
  TransferCounts counts;
  if (!SendTransfer(s, header, SplitIntoBlocks(content.str()), {}, counts)) return false;
  Say("SENT AFTER " + std::to_string(counts.blocks) + " " + std::to_string(counts.naks));
  return true;
}

}  // namespace

bool RunTerminal(Session& s, const std::string& sendContent) {
  const Options& o = s.options;
  if (!o.sendFile.empty()) {
    if (!SendAll(s, sendContent)) return false;
  } else {
    // Without a transfer of our own, a poll and a clock exchange are each answered once.
    if (!o.pollAddresses.empty() && !AnswerPoll(s)) return false;
    if (o.clock && !ReceiveClock(s)) return false;
  }
  for (const std::string& file : o.receiveFiles) {
    if (!Receive(s, file)) return false;
  }
  if (o.sendMode != SendMode::kNone && !ReceiveInSendMode(s)) return false;
  return o.thenSendFile.empty() || SendAfter(s);
}

}  // namespace sim
