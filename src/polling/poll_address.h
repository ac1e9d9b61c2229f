#pragma once
// Terminal addresses of a polled line: how an entered number becomes an address, and which
// address of the list comes next.
#include <cstddef>
#include <string>

namespace quillon {

// `number` written with `length` digits and leading zeros; "***" when it needs more digits
// (or is negative).
std::string FormatPollAddress(int number, int length);

// The list index after `index` in a list of `count` addresses: from the last entry, from beyond
// it or from the start value -1 back to 0, else one further.
int NextPollIndex(int index, std::size_t count);

}  // namespace quillon
