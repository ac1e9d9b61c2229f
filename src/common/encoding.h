#pragma once
// Conversion between Windows-1252 bytes and UTF-8 text.
//
// Inside the program all text is UTF-8. Settings files and other profile files written by the
// Windows heritage of this system are Windows-1252; terminal data are bytes and never pass
// through here.
#include <string>
#include <string_view>

namespace quillon {

// True when `bytes` is well-formed UTF-8 (no overlongs, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// True when any byte is 0x80 or above.
bool HasNonAscii(std::string_view bytes);

// Every byte becomes its Windows-1252 character; the five undefined bytes (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) map to the C1 controls of the same value, so the conversion is reversible.
std::string Cp1252ToUtf8(std::string_view bytes);

// The reverse of Cp1252ToUtf8. A character that Windows-1252 cannot hold becomes '?'.
std::string Utf8ToCp1252(std::string_view text);

// Folds letters for case-insensitive matching of section and key names the way the Windows
// profile functions do for the Latin letters of Windows-1252 ("PARITÄT" matches "Parität").
std::string FoldCase(std::string_view utf8);

bool EqualsNoCase(std::string_view a, std::string_view b);

// Decodes a text file that may be UTF-8 or Windows-1252 (the rule of the settings file):
// valid UTF-8 with non-ASCII bytes is UTF-8, anything else Windows-1252.
std::string DecodeTextFile(std::string_view bytes);

}  // namespace quillon
