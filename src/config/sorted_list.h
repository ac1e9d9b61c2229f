#pragma once
// The sorted string lists of a port's settings (poll addresses): kept in order without regard
// to case, a value that is already there (in any case) is not added twice.
#include <string>
#include <vector>

namespace quillon {

// Inserts `value` at its sorted place; false when an equal value (ignoring case) is present.
bool AddSorted(std::vector<std::string>& list, const std::string& value);

}  // namespace quillon
