#pragma once
// printf-style filling of the texts in texts.h, returning std::string.
#include <cstdio>
#include <string>

namespace quillon {

namespace detail {
template <typename T>
T FormatArg(const T& value) {
  return value;
}
inline const char* FormatArg(const std::string& value) { return value.c_str(); }
inline const char* FormatArg(const char* value) { return value; }
}  // namespace detail

// Strings may be passed as std::string for "%s".
template <typename... Args>
std::string Format(const char* pattern, const Args&... args) {
  const int n = std::snprintf(nullptr, 0, pattern, detail::FormatArg(args)...);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), pattern, detail::FormatArg(args)...);
  out.resize(static_cast<size_t>(n));
  return out;
}

}  // namespace quillon
