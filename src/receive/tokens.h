#pragma once
// Tokens a terminal may put into its data between two "$": "$file a|b|c$" names up to three
// target files (and disappears from the data), "$<count>*<code>$" (two hex numbers) stands for a
// character repeated, any other token stays as it is.
#include <array>
#include <cstddef>
#include <optional>
#include <string>

namespace quillon {

// The most one record may grow to by its repeat tokens: a terminal could otherwise fill the
// disk and the memory with a few bytes on the line.
inline constexpr size_t kMaxRecordBytes = size_t{1} << 20;

// Expands the tokens of one block's data; file tokens fill `targetNames` in order (a fourth name
// stays part of the third). Nothing when the expanded text would exceed kMaxRecordBytes.
[[nodiscard]] std::optional<std::string> ExpandTokens(const std::string& text,
                                                      std::array<std::string, 3>& targetNames);

}  // namespace quillon
