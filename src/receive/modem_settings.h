#pragma once
// From a port's settings to its modem dialogue: the lists of the port
// object and the password list the receive thread hands to WaitForCall.
//
// Thread safety: called by the receive thread on its own port object while the settings do not
// change (they never change while receive threads run).
#include <string>
#include <vector>

#include "config/settings_types.h"
#include "serial/orv_comm.h"

namespace quillon {

// First the lines of ModemPasswordFile when UseModemPasswordFile is set (the file read as UTF-8
// or Windows-1252 text, line ends removed, empty lines skipped; a file that cannot be read
// gives none), then the entries of ModemPasswords when UseModemPasswords is set.
std::vector<std::string> ModemPasswordList(const TQuillonOpt& opt);

// Sets the port's modem lists from the settings: the init list is emptied and filled from
// ModemInit; the ring, connect and OK lists are replaced only by a non-empty ModemRing,
// ModemConnect, ModemOk (else the defaults stay); the answer list is emptied and filled from
// ModemAnswer; a non-empty ModemHangup replaces the hang-up string; with `modemSendReady`
// (the program-wide option) connectionId becomes "BEREIT" + CR, else it stays as it is.
void ApplyModemSettings(TOrvComm& port, const TQuillonOpt& opt, bool modemSendReady);

}  // namespace quillon
