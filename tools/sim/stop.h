#pragma once
// Ending the simulator by SIGTERM or SIGINT. The two signals stay blocked except while a wait
// sits in ppoll() with WaitMask(), so a signal can never slip in between checking the flag and
// starting to wait.
#include <signal.h>

namespace sim {

// Installs the handlers and blocks both signals outside the waits.
void InstallStopSignals();
// True once SIGTERM or SIGINT has arrived.
bool StopRequested();
// The signal mask to pass to ppoll(): the program's mask with the two signals unblocked.
const sigset_t* WaitMask();

}  // namespace sim
