#pragma once
// The only door into the radio networks of the process: up to 8 open networks, each bound to
// one serial port and addressed by its handle 1..8. Every operation returns an integer code:
//
//   1..8  a handle (the open operations)
//   >= 0  success; for TembraReceive the number of records delivered
//   -1    handle not open (Configure, Polling, Receive, Query, ConfirmStores, Stored);
//         Open: the port could not be opened
//   -2    Open: all 8 handles in use; Query: satellite number neither -1 nor 1..100
//   -6    handle outside 1..8; for Close and SetDebugLevel also a handle not open
//   -7    Polling: no groups and no stationary terminals; Query: kind outside 1..3
//   -8    Query: a queried satellite did not answer
//
// Open and Close of a handle come from one thread; the other operations of a handle come from
// the thread that opened it, or (Configure) from the main thread on a handle of its own.
#include <functional>
#include <string>

#include "common/shutdown_state.h"
#include "radio/multi_sat.h"
#include "serial/orv_comm.h"

namespace quillon {

inline constexpr int kMaxNetworks = 8;

// What an open needs besides the line: where the program's files lie, the application's
// shutdown, and how to ask the user whether an oversized terminal debug file shall go.
struct NetworkContext {
  std::string programDir;
  const ShutdownState* shutdown = nullptr;
  std::function<bool(const std::string& question)> askYesNo;
};

int TembraOpen(const std::string& portText, int baud, int dataBits, int parity, int stopBits,
               const std::string& fileName, const NetworkContext& context);
// 8 data bits, parity "markiert", 1 stop bit.
int TembraOpenDefault(const std::string& portText, int baud, const std::string& fileName,
                      const NetworkContext& context);
int TembraClose(int handle);
// Stops the poll cycle, lets the setup dialog edit the network (see SetNetworkDialog), then
// gives every satellite the line's baud rate and makes the network's pauses those in force.
// Polling stays stopped.
int TembraConfigure(int handle);
// -1 cycles without end, n > 0 that many passes over all groups, 0 stops.
int TembraPolling(int handle, int cycles);
// Moves waiting records (all terminals: -1) into `buffer`, each followed by CR, while each
// still leaves 2 characters of the `size` free. Size 0: the number waiting, nothing moved.
int TembraReceive(int handle, int terminal, std::string& buffer, size_t size);
// Kind 1 "5", 2 "8", 3 "8$" to one satellite (1..100) or all (-1), one line per satellite
// ("NN:" + reply, or "NN:<Offline or Error>"), separated by CR, while they fit below `size`.
int TembraQuerySatellites(int handle, int satellite, int kind, std::string& buffer, size_t size);
int TembraSetDebugLevel(int handle, int level);

// Beyond the classic operations: the fetching side stores what it fetched before a station's
// data is confirmed to it. After TembraConfirmStores the line thread waits, after each
// station's text, until every record it produced was fetched and TembraStored(true) was told;
// TembraStored(false) leaves the data on the station. `recordsArrived` is called (on the line
// thread) when records wait.
int TembraConfirmStores(int handle, std::function<void()> recordsArrived);
int TembraStored(int handle, bool ok);

// The setup dialog that TembraConfigure runs (set by the windowed program).
using NetworkDialog = std::function<void(TMultiSat& network, TOrvComm& port, int handle)>;
void SetNetworkDialog(NetworkDialog dialog);

}  // namespace quillon
