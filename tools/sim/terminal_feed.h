#pragma once
// The records one radio terminal sends, line by line, as it puts them on the air: optional
// 3-digit terminal ID, optional 2-digit counter, the data with its fields separated by "|".
// The counter starts at 02 and moves on by one for every field (99 is followed by 01), the
// way the receiving PC counts; a restart sends "-1" and counts on from 01. A PING line carries
// "00", "PING" and the counter the terminal expects next from the PC.
#include <set>
#include <string>

namespace sim {

struct FeedStyle {
  long records = 0;
  bool termId = false;
  bool counter = false;
  bool binaryDigits = false;  // every second line carries counter and ID digits as bytes >= 128
  std::string pattern;        // {T}: terminal as 3 digits, {N}: record number
};

// One line as sent and as the PC should read it after turning bytes >= 128 into digits.
struct FeedLine {
  std::string raw;
  std::string decoded;
};

class TerminalFeed {
 public:
  TerminalFeed(int term, const FeedStyle& style, std::set<long> restartAt, std::set<long> pingAt);

  bool Exhausted() const { return made_ >= style_.records; }
  // Records not made yet.
  long Remaining() const { return style_.records - made_; }
  // The next line; only while !Exhausted().
  FeedLine Next();
  // A record from the PC has reached the terminal; its first two characters are its counter.
  void Delivered(const std::string& text);

 private:
  std::string Prefix(const std::string& counterText, bool binary) const;

  int term_;
  FeedStyle style_;
  std::set<long> restartAt_;
  std::set<long> pingAt_;
  long made_ = 0;
  long lines_ = 0;
  int counter_ = 2;
  int expectedFromPc_ = 0;  // 0: nothing delivered yet
};

// The counter after `value`: negative becomes 2, 99 becomes 1, others + 1.
int NextCounter2(int value);

}  // namespace sim
