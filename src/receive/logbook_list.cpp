#include "receive/logbook_list.h"

#include "receive/logbook_line.h"

namespace quillon {
namespace {

constexpr size_t kLineBreakChars = 2;

size_t CharsWithBreak(const std::string& line) { return LogbookCharCount(line) + kLineBreakChars; }

}  // namespace

void LogbookList::Add(std::string line) {
  const size_t newChars = LogbookCharCount(line);
  const size_t room = newChars >= kLogbookMaxChars ? 0 : kLogbookMaxChars - newChars;
  while (!lines_.empty() && (lines_.size() >= kLogbookMaxLines || chars_ >= room)) DropOldest();
  chars_ += CharsWithBreak(line);
  lines_.push_back(std::move(line));
}

void LogbookList::Assign(std::vector<std::string> lines) {
  Clear();
  for (std::string& line : lines) {
    chars_ += CharsWithBreak(line);
    lines_.push_back(std::move(line));
  }
  while (!lines_.empty() && (lines_.size() > kLogbookMaxLines || chars_ > kLogbookMaxChars)) {
    DropOldest();
  }
}

void LogbookList::Clear() {
  lines_.clear();
  chars_ = 0;
}

void LogbookList::DropOldest() {
  chars_ -= CharsWithBreak(lines_.front());
  lines_.pop_front();
}

}  // namespace quillon
