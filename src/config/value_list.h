#pragma once
// Lists of values inside one settings value, separated by "|" ("1|2", "host|user|pw|A|15000|in").
#include <initializer_list>
#include <string>
#include <string_view>

namespace quillon {

// Value k (counted from 1) of a "|" list: the text between the (k-1)-th and the k-th "|". A
// value beyond the last "|" is empty; a text without "|" is its own first value.
std::string ListValue(std::string_view text, int k);

// The values joined with "|".
std::string JoinList(std::initializer_list<std::string_view> values);

}  // namespace quillon
