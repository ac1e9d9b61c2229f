#pragma once
// Modem mode: an answering modem on the line with a caller behind it. In command mode it answers
// "AT" commands and rings; "ATA" connects (or refuses) the call, and the caller then sends its
// password and, once accepted, carries out the terminal actions; "+++" after a guard time
// returns to command mode, "ATH"/"ATH0" ends the call.
#include <string>

#include "session.h"

namespace sim {

// Serves s.options.calls calls; false with s.error when the line fails, an action fails or the
// caller's password was rejected.
bool RunModem(Session& s, const std::string& sendContent);

}  // namespace sim
