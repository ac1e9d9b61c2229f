#include "radio/tembra_fkt.h"

#include <array>
#include <cstdio>
#include <memory>
#include <mutex>

#include "common/file_io.h"
#include "radio/quorbus_line.h"
#include "radio/sat_line_thread.h"
#include "radio/term_debug.h"
#include "radio/term_records.h"

namespace quillon {

namespace {

constexpr int kReadTimeoutMs = 250;
// Longest wait for the line thread to reach its safe point for a query; a group's turn is far
// shorter.
constexpr int kLineRequestMs = 10000;
constexpr int kThreadWaitStepMs = 1000;
constexpr const char* kOffline = "<Offline or Error>";

struct NetworkSlot {
  int baud = 0;
  const ShutdownState* shutdown = nullptr;
  std::unique_ptr<TOrvComm> Port;
  std::unique_ptr<QuorbusLine> Line;
  std::unique_ptr<TMultiSat> Network;
  std::unique_ptr<RadioInbox> Inbox;
  std::unique_ptr<Tv24SatThread> Thread;  // last: ends before what it uses goes
};

struct NetworkTable {
  std::mutex mutex;  // taking and freeing handles
  std::array<std::unique_ptr<NetworkSlot>, kMaxNetworks + 1> slots;
  NetworkDialog dialog;
};

NetworkTable& Table() {
  static NetworkTable table;
  return table;
}

bool InRange(int handle) { return handle >= 1 && handle <= kMaxNetworks; }

// The slot of an open handle, or null.
NetworkSlot* Open(int handle) {
  if (!InRange(handle)) return nullptr;
  std::lock_guard lock(Table().mutex);
  return Table().slots[static_cast<size_t>(handle)].get();
}

void UsePauses(const TMultiSat& network) {
  ProcessRadioPauses().satCmdDelay = network.SatCmdDelay;
  ProcessRadioPauses().onlineOfflineDelay = network.OnlineOfflineDelay;
}

void AskAboutOversizedDebugFiles(const NetworkContext& context) {
  if (!context.askYesNo) return;
  for (const std::string& file : OversizedDebugFiles(context.programDir)) {
    if (context.askYesNo(OversizedDebugFileQuestion(file))) (void)std::remove(file.c_str());
  }
}

bool Ended(const NetworkContext& context) {
  return context.shutdown != nullptr && context.shutdown->IsShuttingDown();
}

}  // namespace

int TembraOpen(const std::string& portText, int baud, int dataBits, int parity, int stopBits,
               const std::string& fileName, const NetworkContext& context) {
  NetworkTable& table = Table();
  int handle = 0;
  {
    std::lock_guard lock(table.mutex);
    for (int h = 1; h <= kMaxNetworks && handle == 0; ++h) {
      if (!table.slots[static_cast<size_t>(h)]) handle = h;
    }
    if (handle == 0) return -2;
    // Taken at once, so a second open meanwhile gets another handle.
    table.slots[static_cast<size_t>(handle)] = std::make_unique<NetworkSlot>();
  }
  NetworkSlot& slot = *table.slots[static_cast<size_t>(handle)];
  auto freeHandle = [&] {
    std::lock_guard lock(table.mutex);
    table.slots[static_cast<size_t>(handle)].reset();
  };
  slot.baud = baud;
  slot.shutdown = context.shutdown;
  slot.Port = std::make_unique<TOrvComm>(context.shutdown);
  if (slot.Port->Open(portText, baud, dataBits, parity, stopBits) <= 0) {
    freeHandle();
    return -1;
  }
  slot.Port->keepTerminator = true;
  (void)slot.Port->SetTimeout(kReadTimeoutMs);
  slot.Network = std::make_unique<TMultiSat>();
  const std::string name =
      fileName.empty() ? DefaultNetworkFile(portText, context.programDir) : fileName;
  (void)slot.Network->SetIniName(name, context.programDir);  // a bad section keeps what it read
  UsePauses(*slot.Network);
  slot.Line = std::make_unique<QuorbusLine>(*slot.Port, context.shutdown);
  slot.Inbox = std::make_unique<RadioInbox>();
  SatLineSetup setup;
  setup.baud = baud;
  setup.handle = handle;
  setup.programDir = context.programDir;
  setup.debugLevel = slot.Network->Debuglevel;
  setup.shutdown = context.shutdown;
  slot.Thread = std::make_unique<Tv24SatThread>(*slot.Network, *slot.Line, *slot.Inbox, setup);
  if (slot.Network->Debuglevel > 0) AskAboutOversizedDebugFiles(context);
  while (!slot.Thread->WaitIdle(kThreadWaitStepMs)) {
    if (Ended(context)) break;
  }
  return handle;
}

int TembraOpenDefault(const std::string& portText, int baud, const std::string& fileName,
                      const NetworkContext& context) {
  return TembraOpen(portText, baud, 8, 3, 1, fileName, context);
}

int TembraClose(int handle) {
  NetworkSlot* slot = Open(handle);
  if (slot == nullptr) return -6;
  slot->Thread->End();
  std::unique_ptr<NetworkSlot> gone;
  {
    std::lock_guard lock(Table().mutex);
    gone = std::move(Table().slots[static_cast<size_t>(handle)]);
  }
  gone.reset();  // the thread, then inbox, network, line and port (which closes it)
  return 0;
}

int TembraConfigure(int handle) {
  if (!InRange(handle)) return -6;
  NetworkSlot* slot = Open(handle);
  if (slot == nullptr) return -1;
  // The dialog uses the line itself: the cycle stops, and a thread that is still checking its
  // satellites after the open finishes that first (every step of it ends on the line's
  // time-outs).
  Tv24SatThread& thread = *slot->Thread;
  thread.SetCycles(0);
  while (!thread.WaitIdle(kLineRequestMs)) {
    if (thread.Ended() || (slot->shutdown != nullptr && slot->shutdown->IsShuttingDown()))
      return -1;
  }
  NetworkDialog dialog;
  {
    std::lock_guard lock(Table().mutex);
    dialog = Table().dialog;
  }
  if (dialog) dialog(*slot->Network, *slot->Port, handle);
  for (auto& sat : slot->Network->Satellites) sat->Baud = slot->baud;
  UsePauses(*slot->Network);
  return 0;
}

int TembraPolling(int handle, int cycles) {
  if (!InRange(handle)) return -6;
  NetworkSlot* slot = Open(handle);
  if (slot == nullptr) return -1;
  if (slot->Network->Groups.empty() && slot->Network->Terminals.empty()) return -7;
  Tv24SatThread& thread = *slot->Thread;
  const int before = thread.CyclesStarted();
  thread.SetCycles(cycles);
  if (cycles != 0) {
    (void)thread.WaitCycleStarted(before, kLineRequestMs);
  } else {
    (void)thread.WaitIdle(kLineRequestMs);
  }
  return 0;
}

int TembraReceive(int handle, int terminal, std::string& buffer, size_t size) {
  buffer.clear();
  if (!InRange(handle)) return -6;
  NetworkSlot* slot = Open(handle);
  if (slot == nullptr) return -1;
  RadioInbox& inbox = *slot->Inbox;
  std::lock_guard lock(inbox.mutex);
  int delivered = 0;
  if (size == 0) {
    for (const auto& term : inbox.terms) {
      if (terminal == -1 || term->Nr == terminal)
        delivered += static_cast<int>(term->Pending.size());
    }
    return delivered;
  }
  for (const auto& term : inbox.terms) {
    if (terminal != -1 && term->Nr != terminal) continue;
    bool first = true;
    while (!term->Pending.empty()) {
      const std::string& record = term->Pending.front();
      const size_t room = size > buffer.size() ? size - buffer.size() : 0;
      if (room < record.size() + 2) break;
      buffer += record;
      buffer += '\r';
      term->Pending.pop_front();
      ++delivered;
      first = false;
    }
    if (first && !term->Pending.empty()) break;  // its first record does not fit
  }
  if (inbox.storesConfirmed) inbox.inFlight += static_cast<size_t>(delivered);
  return delivered;
}

int TembraQuerySatellites(int handle, int satellite, int kind, std::string& buffer, size_t size) {
  buffer.clear();
  if (!InRange(handle)) return -6;
  NetworkSlot* slot = Open(handle);
  if (slot == nullptr) return -1;
  if (satellite != -1 && (satellite < 1 || satellite > 100)) return -2;
  if (kind < 1 || kind > 3) return -7;
  if (!slot->Thread->RequestLine(kLineRequestMs)) {
    slot->Thread->ReleaseLine();
    return -8;
  }
  int result = 0;
  for (auto& sat : slot->Network->Satellites) {
    if (satellite != -1 && sat->Nr != satellite) continue;
    std::string reply;
    char number[8];
    std::snprintf(number, sizeof number, "%02d", sat->Nr);
    std::string line = std::string(number) + ":";
    if (slot->Line->Identify(sat->Nr, kind, reply) == 0) {
      line += reply;
    } else {
      line += kOffline;
      result = -8;
    }
    const std::string separated = buffer.empty() ? line : "\r" + line;
    if (buffer.size() + separated.size() < size) buffer += separated;
    if (satellite != -1) break;
  }
  slot->Thread->ReleaseLine();
  return result;
}

int TembraSetDebugLevel(int handle, int level) {
  NetworkSlot* slot = Open(handle);
  if (slot == nullptr) return -6;
  slot->Thread->SetDebugLevel(level);
  return 0;
}

int TembraConfirmStores(int handle, std::function<void()> recordsArrived) {
  if (!InRange(handle)) return -6;
  NetworkSlot* slot = Open(handle);
  if (slot == nullptr) return -1;
  std::lock_guard lock(slot->Inbox->mutex);
  slot->Inbox->storesConfirmed = true;
  slot->Inbox->recordsArrived = std::move(recordsArrived);
  return 0;
}

int TembraStored(int handle, bool ok) {
  if (!InRange(handle)) return -6;
  NetworkSlot* slot = Open(handle);
  if (slot == nullptr) return -1;
  {
    std::lock_guard lock(slot->Inbox->mutex);
    slot->Inbox->inFlight = 0;
    if (!ok) slot->Inbox->storeFailed = true;
  }
  slot->Inbox->changed.notify_all();
  return 0;
}

void SetNetworkDialog(NetworkDialog dialog) {
  std::lock_guard lock(Table().mutex);
  Table().dialog = std::move(dialog);
}

}  // namespace quillon
