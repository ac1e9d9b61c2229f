#pragma once
// Polling of terminal addresses: the PC writes CR, an address and '?' then CR; the terminal with
// that address answers ACK and the PC confirms with CR, the address, '!' and CR. Polls of other
// addresses get no answer.
#include <string>

#include "session.h"

namespace sim {

// Waits (without limit, until a stop signal) for a poll of one of --answer-polls, answers it
// and prints "POLLED <address>", then waits up to a second for the confirmation.
bool AnswerPoll(Session& s);

}  // namespace sim
