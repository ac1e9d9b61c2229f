#pragma once
// The form of one logbook line: "dd.mm.yyyy hh:nn:ss" + three blanks + "(com<n>:) " + text.
#include <ctime>
#include <string>

namespace quillon {

std::string FormatLogbookLine(int port, const std::string& text, std::time_t when);
std::string FormatLogbookLine(int port, const std::string& text);  // now

}  // namespace quillon
