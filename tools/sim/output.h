#pragma once
// What the simulator reports: one line per event on stdout, flushed at once so that a test or
// script waiting for it sees it immediately; failures in German on stderr.
#include <string>
#include <string_view>

namespace sim {

void Say(const std::string& line);
void Complain(const std::string& message);
// Bytes as printable text: control bytes, DEL and backslash as \xHH.
std::string Printable(std::string_view bytes);

}  // namespace sim
