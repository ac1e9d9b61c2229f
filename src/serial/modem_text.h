#pragma once
// The text rules of the modem dialogue: settings texts split into list items at
// "^M", modem lines cleaned of control characters and blanks, and list look-ups that compare
// whole strings without regard to letter case. Pure functions, usable from any thread.
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The items of a settings text split at the two-character marker "^M": an empty part between
// two markers (or before the first, or after the last) is an item too; an empty text has none.
// "AT&F^MATS0=1" gives "AT&F" and "ATS0=1".
std::vector<std::string> SplitModemText(std::string_view text);

// The line without leading and trailing characters below 32 or above 127 and blanks.
std::string CleanModemLine(std::string_view line);

// True when `value` equals an item of `list`, letter case ignored.
bool InModemList(const std::vector<std::string>& list, std::string_view value);

// The text up to the first blank ("CONNECT 9600/ARQ" gives "CONNECT").
std::string_view FirstWord(std::string_view text);

}  // namespace quillon
