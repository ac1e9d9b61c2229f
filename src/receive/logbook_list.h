#pragma once
// The in-memory logbook of one port: its lines, oldest first, within 400 lines and 25000
// characters of text. The text counts every line with its line break (CR LF), as the list is
// written to its file.
//
// Not synchronised itself: the Logbook guards every list with TGlobalApp::ListLock.
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace quillon {

inline constexpr size_t kLogbookMaxLines = 400;
inline constexpr size_t kLogbookMaxChars = 25000;

class LogbookList {
 public:
  // Deletes the oldest lines while the list is not empty and either holds 400 lines or its
  // text is at least 25000 characters minus the new line's length, then appends the line. So
  // a single line longer than the limit empties the list and stands alone.
  void Add(std::string line);

  // Replaces the lines and deletes the oldest until at most 400 lines and 25000 characters
  // remain (the rule for a list read from its file).
  void Assign(std::vector<std::string> lines);

  void Clear();
  size_t Count() const { return lines_.size(); }
  size_t TextLength() const { return chars_; }
  std::vector<std::string> Lines() const { return {lines_.begin(), lines_.end()}; }

 private:
  void DropOldest();

  std::deque<std::string> lines_;
  size_t chars_ = 0;  // characters of all lines, each with its two-character line break
};

}  // namespace quillon
