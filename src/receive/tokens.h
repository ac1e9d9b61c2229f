#pragma once
// Tokens a terminal may put into its data between two "$": "$file a|b|c$" names up to three
// target files (and disappears from the data), "$<count>*<code>$" (two hex numbers) stands for a
// character repeated, any other token stays as it is.
#include <array>
#include <string>

namespace quillon {

// Expands the tokens of one block's data; file tokens fill `targetNames` in order (a fourth name
// stays part of the third).
std::string ExpandTokens(const std::string& text, std::array<std::string, 3>& targetNames);

}  // namespace quillon
