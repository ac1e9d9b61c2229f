#pragma once
// The form of one logbook line: "dd.mm.yyyy hh:nn:ss" + three blanks + "(com<n>:) " + text.
// A line addressed to all ports is kept in the in-memory logbooks without the port tag.
#include <ctime>
#include <string>
#include <string_view>

namespace quillon {

std::string FormatLogbookLine(int port, const std::string& text, std::time_t when);
std::string FormatLogbookLine(int port, const std::string& text);  // now

// The same line without the "(com<n>:) " part.
std::string FormatUntaggedLogbookLine(const std::string& text, std::time_t when);

// A text fit for one logbook line: line breaks become blanks, so that a line stays one line in
// every file it is written to, and bytes that are not UTF-8 (names or data a terminal sent) are
// read as Windows-1252, so that the UTF-8 logbook files stay valid UTF-8.
std::string CleanLogbookText(std::string_view text);

// Characters of UTF-8 text, as the logbook's 25000-character limit counts them.
size_t LogbookCharCount(std::string_view utf8);

}  // namespace quillon
