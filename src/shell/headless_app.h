#pragma once
// Running the receiver without windows ("/headless"), for servers and services: the same
// start-up and engine, message boxes on stderr, logbook lines on stdout, SIGTERM and SIGINT
// ending the program through the normal exit sequence.
#include <string>
#include <vector>

namespace quillon {

// Exit codes: 0 after a signal, 255 when another instance runs, 1 when start-up failed or no
// port is active.
int RunHeadless(const std::string& exePath, const std::vector<std::string>& args);

}  // namespace quillon
