#pragma once
// The terminal's actions in their fixed order: answer polls and send transfers (each followed
// by the clock exchange when asked), then receive a transfer.
#include "session.h"

namespace sim {

// Runs the actions of s.options; false with s.error on the first that fails.
bool RunTerminal(Session& s, const std::string& sendContent);

}  // namespace sim
