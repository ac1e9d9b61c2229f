#include "terminal_feed.h"

#include <cstdio>
#include <cstdlib>

#include "quorbus_wire.h"

namespace sim {
namespace {

std::string TwoDigits(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

std::string ThreeDigits(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%03d", value);
  return text;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

}  // namespace

int NextCounter2(int value) {
  if (value < 0) return 2;
  if (value >= 99) return 1;
  return value + 1;
}

TerminalFeed::TerminalFeed(int term, const FeedStyle& style, std::set<long> restartAt,
                           std::set<long> pingAt)
    : term_(term), style_(style), restartAt_(std::move(restartAt)), pingAt_(std::move(pingAt)) {}

std::string TerminalFeed::Prefix(const std::string& counterText, bool binary) const {
  std::string prefix;
  const std::string id = ThreeDigits(term_);
  if (style_.termId) prefix += binary ? id.substr(0, 1) + quorbus::DigitsByte(term_ % 100) : id;
  if (style_.counter) {
    const bool digits = counterText.size() == 2 && counterText[0] != '-';
    prefix += binary && digits ? std::string(1, quorbus::DigitsByte(std::atoi(counterText.c_str())))
                               : counterText;
  }
  return prefix;
}

FeedLine TerminalFeed::Next() {
  const long record = made_ + 1;
  const bool binary = style_.binaryDigits && lines_ % 2 == 0;
  ++lines_;
  std::string raw;
  if (pingAt_.erase(record) > 0) {
    raw = Prefix("00", false) + "PING" + TwoDigits(expectedFromPc_);
    return FeedLine{raw, quorbus::DecodeDigits(raw)};
  }
  ++made_;
  const std::string data = ReplaceAll(ReplaceAll(style_.pattern, "{T}", ThreeDigits(term_)), "{N}",
                                      std::to_string(record));
  std::string counterText;
  if (restartAt_.count(record) > 0) {
    counterText = "-1";
    counter_ = 1;
  } else {
    counterText = TwoDigits(counter_);
  }
  raw = Prefix(counterText, binary) + data;
  for (const char c : data) {
    if (c == '|') counter_ = NextCounter2(counter_);
  }
  counter_ = NextCounter2(counter_);
  return FeedLine{raw, quorbus::DecodeDigits(raw)};
}

void TerminalFeed::Delivered(const std::string& text) {
  if (text.size() < 2) return;
  char* end = nullptr;
  const std::string counterText = text.substr(0, 2);
  const long value = std::strtol(counterText.c_str(), &end, 10);
  if (*end == '\0') expectedFromPc_ = NextCounter2(static_cast<int>(value));
}

}  // namespace sim
