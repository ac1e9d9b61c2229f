#pragma once
// The setup dialog's FTP test connection: logs in, enters the directory, sets the type and
// lists the directory, and writes down what it did and what the server answered.
#include <atomic>
#include <string>

#include "network/ftp_session.h"

namespace quillon::net {

// Runs the test and returns its transcript, lines joined with CR LF: "CONNECT" and the
// server's answer, each "CWD <part>" with its answer, the type command with its answer, the
// listing with its answer and entries, "DISCONNECT". A failure ends the steps with the
// server's last answer; a server that never answered gives "Keine Antwort erhalten" alone.
[[nodiscard]] std::string RunFtpTestConnection(const FtpAccount& account,
                                               const std::string& directory, bool asciiMode,
                                               const std::atomic<bool>& stop);

}  // namespace quillon::net
