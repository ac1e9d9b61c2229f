#include "polls.h"

#include <algorithm>

#include "block.h"
#include "output.h"

namespace sim {
namespace {

constexpr int kConfirmMs = 1000;
constexpr std::size_t kLongestFrame = 32;

// Collects the text between two CRs; `Take` reports a complete one.
class FrameScanner {
 public:
  // Feeds one byte; true when a CR closed a frame, which is then in `text`.
  bool Feed(std::uint8_t b, std::string& text) {
    if (b == kCr) {
      const bool complete = open_;
      text = current_;
      current_.clear();
      open_ = true;  // the closing CR may also open the next frame
      return complete;
    }
    if (open_) {
      current_ += static_cast<char>(b);
      if (current_.size() > kLongestFrame) {
        open_ = false;
        current_.clear();
      }
    }
    return false;
  }

 private:
  bool open_ = false;
  std::string current_;
};

}  // namespace

bool AnswerPoll(Session& s) {
  const auto& addresses = s.options.pollAddresses;
  FrameScanner scanner;
  std::string text;
  std::string address;
  const auto forever = Clock::time_point::max();
  while (address.empty()) {
    std::uint8_t b = 0;
    const Io io = s.line.ReadByte(forever, b);
    if (io != Io::kOk) return s.Fail("Warten auf Polling: " + Describe(io));
    if (!scanner.Feed(b, text) || text.size() < 2 || text.back() != '?') continue;
    text.pop_back();
    if (std::find(addresses.begin(), addresses.end(), text) != addresses.end()) address = text;
  }
  if (!s.Answer(kAck)) return false;
  Say("POLLED " + address);
  const auto deadline = Clock::now() + std::chrono::milliseconds(kConfirmMs);
  for (;;) {
    std::uint8_t b = 0;
    const Io io = s.line.ReadByte(deadline, b);
    if (io == Io::kTimeout) return true;  // the PC's test mode confirms nothing
    if (io != Io::kOk) return s.Fail("Warten auf die Pollingbestätigung: " + Describe(io));
    if (scanner.Feed(b, text) && text == address + "!") return true;
  }
}

}  // namespace sim
