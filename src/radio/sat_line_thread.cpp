#include "radio/sat_line_thread.h"

#include <algorithm>
#include <charconv>
#include <chrono>

#include "common/clock.h"
#include "common/format.h"

namespace quillon {

namespace {

constexpr uint64_t kContactLapseMs = 5000;
// A station that hands over data on every read is left for its next turn after so many reads,
// so that one station cannot keep the others waiting.
constexpr int kMaxReadsPerTurn = 100;

// The line's debug log.
constexpr const char* kActivating = "Aktiviere Gruppe <%s>";
constexpr const char* kDeactivating = "Deaktiviere Gruppe <%s>";
constexpr const char* kInitialising = "Initialisiere Satellit %s (%s)";
constexpr const char* kModeM0 = "  Setze Modus M0 von Satellit %s (%s)";
constexpr const char* kBiosVersion = "  Ermittle Bios-Version (%s)";
constexpr const char* kPollingOn = "  Starte Polling von Satellit %s (%s)";
constexpr const char* kPollingOff = "  Stoppe Polling von Satellit %s (%s)";
constexpr const char* kReading = "Lese gespeicherte Daten von Satellit %s";
constexpr const char* kReadFailed = "  Lesen von %s: Fehler (%d)";
constexpr const char* kNotKept =
    "  Daten von %s bleiben gespeichert: sie sind noch nicht gesichert";
constexpr const char* kSending = "Sende an <%s>/<%s> <%s> (%s)";
constexpr const char* kOk = "Ok";
constexpr const char* kFailed = "Fehler";
// The terminals' debug files.
constexpr const char* kFirstSendTry = "Starte Sendeversuch zum Terminal (%s)";
constexpr const char* kDelivered = "Datensatz zum Terminal gesendet (%s)";

std::string Digits(int value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
  return buffer;
}

const char* Outcome(int result) { return result == 0 ? kOk : kFailed; }

// The BIOS version in an identification reply: its third character, a decimal point and the
// data from the seventh character on. 6.2 and later take a record for a terminal in one frame.
bool IsNewBios(const std::string& data) {
  if (data.size() < 7) return false;
  const std::string text = std::string(1, data[2]) + "." + data.substr(6);
  double version = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), version);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  return version >= 6.2;
}

}  // namespace

// ---- the process's radio channel -------------------------------------------------------------

RadioChannel& RadioChannel::Process() {
  static RadioChannel channel;
  return channel;
}

bool RadioChannel::Acquire(const std::function<bool()>& giveUp) {
  std::unique_lock lock(mutex_);
  free_.wait(lock, [&] { return !taken_ || giveUp(); });
  if (taken_) return false;
  taken_ = true;
  return true;
}

void RadioChannel::Release() {
  {
    std::lock_guard lock(mutex_);
    taken_ = false;
  }
  free_.notify_all();
}

void RadioChannel::Wake() {
  { std::lock_guard lock(mutex_); }
  free_.notify_all();
}

// ---- life ------------------------------------------------------------------------------------

Tv24SatThread::Tv24SatThread(TMultiSat& network, QuorbusLine& line, RadioInbox& inbox,
                             SatLineSetup setup)
    : network_(network),
      line_(line),
      inbox_(inbox),
      setup_(std::move(setup)),
      termDebug_(setup_.programDir, setup_.debugLevel),
      handler_(
          inbox_, outgoing_,
          {network.TermIdBeforeData, network.WithCounter, network.DeleteDuplicates},
          {[this](int term, const std::string& text, bool blank) { TermLog(term, text, blank); },
           [this](const std::string& text) { LineLog(text); },
           [] { return static_cast<uint32_t>(Clock()); }}),
      createdAt_(Clock()) {
  if (!network_.DebugFile.empty()) lineDebug_ = std::fopen(network_.DebugFile.c_str(), "w");
  if (setup_.shutdown != nullptr) {
    shutdownWaker_ = setup_.shutdown->AddWaker([this] {
      { std::lock_guard lock(stateMutex_); }
      stateChanged_.notify_all();
      RadioChannel::Process().Wake();
      std::lock_guard lock(inbox_.mutex);
      inbox_.changed.notify_all();
    });
  }
  thread_ = std::thread([this] { Run(); });
}

Tv24SatThread::~Tv24SatThread() {
  End();
  if (setup_.shutdown != nullptr) setup_.shutdown->RemoveWaker(shutdownWaker_);
}

void Tv24SatThread::End() {
  {
    std::lock_guard lock(stateMutex_);
    mode_ = Mode::kEnd;
  }
  stateChanged_.notify_all();
  RadioChannel::Process().Wake();
  {
    std::lock_guard lock(inbox_.mutex);
    inbox_.changed.notify_all();
  }
  if (thread_.joinable()) thread_.join();
}

bool Tv24SatThread::Ending() const {
  return mode_.load() == Mode::kEnd ||
         (setup_.shutdown != nullptr && setup_.shutdown->IsShuttingDown());
}

bool Tv24SatThread::StopWanted() const { return Ending() || cycles_.load() == 0; }

void Tv24SatThread::SetCycles(int cycles) {
  {
    std::lock_guard lock(stateMutex_);
    cycles_ = cycles;
    if (cycles != 0 && mode_.load() != Mode::kEnd) {
      mode_ = Mode::kCycle;
      idle_ = false;
    }
  }
  stateChanged_.notify_all();
  RadioChannel::Process().Wake();
}

bool Tv24SatThread::WaitIdle(int ms) {
  std::unique_lock lock(stateMutex_);
  return stateChanged_.wait_for(lock, std::chrono::milliseconds(ms), [this] {
    return idle_.load() || ended_.load();
  }) && idle_.load();
}

bool Tv24SatThread::WaitCycleStarted(int before, int ms) {
  std::unique_lock lock(stateMutex_);
  return stateChanged_.wait_for(lock, std::chrono::milliseconds(ms), [this, before] {
    return cyclesStarted_.load() > before || ended_.load();
  }) && cyclesStarted_.load() > before;
}

bool Tv24SatThread::RequestLine(int ms) {
  {
    std::lock_guard lock(stateMutex_);
    hostRequest_ = true;
  }
  stateChanged_.notify_all();
  // The thread may be waiting for the channel or for records to be stored: both let it stop.
  RadioChannel::Process().Wake();
  { std::lock_guard lock(inbox_.mutex); }
  inbox_.changed.notify_all();
  std::unique_lock lock(stateMutex_);
  return stateChanged_.wait_for(lock, std::chrono::milliseconds(ms),
                                [this] { return safePoint_.load() || ended_.load(); });
}

void Tv24SatThread::ReleaseLine() {
  {
    std::lock_guard lock(stateMutex_);
    hostRequest_ = false;
  }
  stateChanged_.notify_all();
}

void Tv24SatThread::QueueForTerminal(int terminal, const std::string& record) {
  std::lock_guard lock(inbox_.mutex);
  handler_.QueueNext(inbox_.Find(terminal), record);
}

// ---- the thread ------------------------------------------------------------------------------

void Tv24SatThread::Run() {
  // The satellites are set up at the line's rate from the first command on: one told another
  // rate would no longer hear the line.
  for (auto& sat : network_.Satellites) sat->Baud = setup_.baud;
  StopAllPolling(true);
  for (;;) {
    const Mode mode = mode_.load();
    if (mode == Mode::kEnd || Ending()) break;
    if (mode == Mode::kCycle) {
      Cycle();
      continue;
    }
    std::unique_lock lock(stateMutex_);
    idle_ = true;
    stateChanged_.notify_all();
    stateChanged_.wait(lock, [this] { return mode_.load() != Mode::kIdle || Ending(); });
  }
  StopAllPolling(true);
  {
    std::lock_guard lock(outgoing_.mutex);
    outgoing_.msgs.clear();
  }
  LineLog(std::string(80, '-'));
  if (lineDebug_ != nullptr) std::fclose(lineDebug_);
  lineDebug_ = nullptr;
  termDebug_.Stop();
  {
    std::lock_guard lock(stateMutex_);
    ended_ = true;
    idle_ = false;
  }
  stateChanged_.notify_all();
}

void Tv24SatThread::WaitAtSafePoint() {
  std::unique_lock lock(stateMutex_);
  if (!hostRequest_.load()) return;
  safePoint_ = true;
  stateChanged_.notify_all();
  stateChanged_.wait(lock, [this] { return !hostRequest_.load() || Ending(); });
  safePoint_ = false;
}

void Tv24SatThread::Cycle() {
  for (auto& sat : network_.Satellites) sat->Baud = setup_.baud;
  {
    std::unique_lock lock(stateMutex_);
    cycleRunning_ = true;
    ++cyclesStarted_;
    idle_ = false;
    groupIndex_ = 0;
    stateChanged_.notify_all();
    // A borrowed line is given back before the cycle starts.
    stateChanged_.wait(lock, [this] { return !hostRequest_.load() || Ending(); });
    safePoint_ = false;
  }
  while (cycles_.load() != 0 && mode_.load() == Mode::kCycle && !Ending()) {
    TOneGrp* group =
        groupIndex_ < network_.Groups.size() ? network_.Groups[groupIndex_].get() : nullptr;
    const bool onAir = group == nullptr || Activate(*group);
    if (onAir) {
      WaitAtSafePoint();
      for (auto& term : network_.Terminals) ReadStation(term->Nr, false, nullptr, false);
      auto inGroup = [group](const TOneSat* sat) {
        return group != nullptr &&
               std::find(group->SatList.begin(), group->SatList.end(), sat) != group->SatList.end();
      };
      for (auto& sat : network_.Satellites) {
        if (!inGroup(sat.get())) ReadStation(sat->Nr, true, sat.get(), true);
      }
      if (group != nullptr) {
        for (TOneSat* sat : group->SatList) ReadStation(sat->Nr, true, sat, true);
        Deactivate(*group);
        DeliveryCheck(*group);
      }
    }
    if (++groupIndex_ >= network_.Groups.size()) {
      groupIndex_ = 0;
      int cycles = cycles_.load();
      // A stop meanwhile (0) is not overwritten.
      while (cycles > 0 && !cycles_.compare_exchange_weak(cycles, cycles - 1)) {
      }
    }
  }
  {
    std::lock_guard lock(stateMutex_);
    safePoint_ = true;
  }
  stateChanged_.notify_all();
  if (mode_.load() == Mode::kCycle && cycles_.load() == 0) {
    StopAllPolling(true);
    Mode expected = Mode::kCycle;
    mode_.compare_exchange_strong(expected, Mode::kIdle);
  }
  if (channelLockHeld_) {
    RadioChannel::Process().Release();
    channelLockHeld_ = false;
  }
  {
    std::lock_guard lock(stateMutex_);
    cycleRunning_ = false;
    idle_ = false;
  }
  stateChanged_.notify_all();
}

// ---- satellites ------------------------------------------------------------------------------

bool Tv24SatThread::Check(TOneSat& sat) {
  const uint64_t now = Clock();
  // A satellite not heard of for a while is asked first; it is set up again only when it had
  // failed before. One that merely had its turn long ago keeps its set-up: initialising takes
  // seconds, and with many satellites the others would lapse meanwhile, one after the other.
  const bool wasOnline = sat.Online;
  if (now - sat.LastContact >= kContactLapseMs) sat.Online = false;
  if (!sat.Online) {
    sat.Online = line_.StatusCheck(sat.Nr) == 0;
    if (sat.Online && !wasOnline) {
      sat.LastContact = Clock();
      Initialise(sat);
    }
  }
  if (sat.Online) sat.LastContact = Clock();
  return sat.Online;
}

void Tv24SatThread::Initialise(TOneSat& sat) {
  const std::string id = Digits(sat.Nr, 3);
  ReadStation(sat.Nr, true, &sat, false);
  int result = line_.ConfigureSatellite(sat.Nr, sat.Nr, sat.Baud, sat.VonTerm, sat.BisTerm);
  LineLog(Format(kInitialising, id, Outcome(result)));
  if (result == 0) {
    result = line_.PollingSwitch(sat.Nr, false, false);
    LineLog(Format(kPollingOff, id, Outcome(result)));
  }
  if (result == 0) {
    result = line_.ModeSwitch(sat.Nr);
    LineLog(Format(kModeM0, id, Outcome(result)));
  }
  if (result == 0) {
    std::string reply;
    result = line_.Identify(sat.Nr, 3, reply);
    LineLog(Format(kBiosVersion, Outcome(result)));
    sat.NewBios = result == 0 && IsNewBios(reply);
  }
  if (result == 0) {
    result = line_.PollingSwitch(sat.Nr, false, true);
    if (result == 0) sat.Polling = false;
  }
}

bool Tv24SatThread::SwitchPolling(TOneSat& sat, bool on, bool plain) {
  if (!Check(sat)) return false;
  const int result = line_.PollingSwitch(sat.Nr, on, !plain);
  LineLog(Format(on ? kPollingOn : kPollingOff, Digits(sat.Nr, 3), Outcome(result)));
  sat.Online = result == 0;
  if (sat.Online) sat.Polling = on;
  return sat.Online;
}

void Tv24SatThread::StopAllPolling(bool plain) {
  for (auto& sat : network_.Satellites) {
    if (setup_.shutdown != nullptr && setup_.shutdown->IsShuttingDown()) return;
    SwitchPolling(*sat, false, plain);
  }
}

void Tv24SatThread::ReadStation(int address, bool satellite, TOneSat* sat, bool check) {
  if (sat != nullptr && check && !Check(*sat)) return;
  const std::string id = Digits(address, 3);
  LineLog(Format(kReading, id));
  for (int reads = 0; reads < kMaxReadsPerTurn && !Ending(); ++reads) {
    std::string text;
    const int result = line_.ReadStoredData(address, satellite, text);
    if (result != 0) {
      LineLog(Format(kReadFailed, id, result));
      return;
    }
    if (sat != nullptr) sat->LastContact = Clock();
    if (text.empty()) return;
    if (!KeepSafely(text)) {
      LineLog(Format(kNotKept, id));
      return;
    }
    if (line_.ConfirmStoredData(address, satellite) != 0) return;
  }
}

bool Tv24SatThread::KeepSafely(const std::string& text) {
  std::unique_lock lock(inbox_.mutex);
  // What the terminals' states were before this text, to go back to when its records cannot be
  // kept: the station hands them over again and they must count as new then.
  struct Before {
    int nr, counter, hostCounter;
    std::string lastRecord;
    std::deque<std::string> history;
    bool fresh;
  };
  std::vector<Before> before;
  if (inbox_.storesConfirmed) {
    for (const auto& t : inbox_.terms) {
      before.push_back({t->Nr, t->Counter, t->HostCounter, t->LastRecord, t->History, t->Fresh});
    }
  }
  const size_t termsBefore = inbox_.terms.size();
  handler_.ProcessText(text);
  if (!inbox_.storesConfirmed) return true;  // kept in memory until fetched, as handed over
  if (inbox_.recordsArrived) inbox_.recordsArrived();
  auto stored = [this] { return inbox_.Waiting() == 0 && inbox_.inFlight == 0; };
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(setup_.storeWaitMs);
  for (;;) {
    const bool over = inbox_.changed.wait_until(lock, deadline, [&] {
      return stored() || inbox_.storeFailed || Ending() || hostRequest_.load();
    });
    if (!over || stored() || inbox_.storeFailed || Ending()) break;
    // The fetching side wants the line first (its status query): the station's data are read
    // and acknowledged line by line, only their confirmation waits.
    lock.unlock();
    WaitAtSafePoint();
    lock.lock();
  }
  if (stored() && !inbox_.storeFailed) return true;
  // Not stored: back to the states before, nothing of this text waits any more.
  inbox_.storeFailed = false;
  for (auto& t : inbox_.terms) t->Pending.clear();
  inbox_.terms.resize(termsBefore);
  for (const Before& b : before) {
    TOneTermData& t = inbox_.Find(b.nr);
    t.Counter = b.counter;
    t.HostCounter = b.hostCounter;
    t.LastRecord = b.lastRecord;
    t.History = b.history;
    t.Fresh = b.fresh;
  }
  return false;
}

bool Tv24SatThread::Activate(TOneGrp& group) {
  if (group.SatList.empty()) return true;
  LineLog(Format(kActivating, group.Name));
  for (auto& g : network_.Groups) g->Active = false;
  for (auto& sat : network_.Satellites) {
    if (sat->Polling) SwitchPolling(*sat, false, false);
  }
  // Waiting for another network's group to go off the air, the line is free for a borrower.
  while (!channelLockHeld_) {
    if (RadioChannel::Process().Acquire([this] { return StopWanted() || hostRequest_.load(); })) {
      channelLockHeld_ = true;
    } else if (StopWanted()) {
      return false;
    } else {
      WaitAtSafePoint();
    }
  }
  group.Active = true;
  for (TOneSat* sat : group.SatList) {
    SendQueued(*sat);
    if (!sat->Polling) SwitchPolling(*sat, true, false);
  }
  return true;
}

void Tv24SatThread::Deactivate(TOneGrp& group) {
  if (group.SatList.empty()) return;
  LineLog(Format(kDeactivating, group.Name));
  for (auto& g : network_.Groups) g->Active = false;
  for (auto& sat : network_.Satellites) {
    if (sat->Polling) SwitchPolling(*sat, false, false);
  }
  if (channelLockHeld_) {
    RadioChannel::Process().Release();
    channelLockHeld_ = false;
  }
}

void Tv24SatThread::SendQueued(TOneSat& sat) {
  // Checked before the list is locked: a satellite that comes back is initialised, and reading
  // its data may queue records.
  bool hasWork = false;
  {
    std::lock_guard lock(outgoing_.mutex);
    for (TTermMsg& msg : outgoing_.msgs) {
      if (msg.Done || msg.Term < sat.VonTerm || msg.Term > sat.BisTerm) continue;
      msg.InRange = true;
      hasWork = true;
    }
  }
  if (!hasWork || !Check(sat)) return;
  std::lock_guard lock(outgoing_.mutex);
  for (TTermMsg& msg : outgoing_.msgs) {
    if (msg.Done || msg.Term < sat.VonTerm || msg.Term > sat.BisTerm) continue;
    const int result = line_.SendToTerminal(sat.Nr, msg.Term, sat.NewBios, msg.Text);
    LineLog(Format(kSending, Digits(sat.Nr, 3), Digits(msg.Term, 3), msg.Text, Outcome(result)));
    if (result != 0) continue;
    if (msg.FirstTry) {
      msg.FirstTry = false;
      TermLog(msg.Term, Format(kFirstSendTry, msg.Text));
    }
    msg.Via.push_back(std::to_string(sat.Nr));
  }
}

void Tv24SatThread::DeliveryCheck(TOneGrp& group) {
  // The questions are asked under the list's lock alone; a delivered message is marked done
  // only together with its terminal's counter, under both locks in the record handler's order,
  // so that a record queued meanwhile never gets the counter the delivered one had. (Only this
  // thread removes messages, so the pointers stay valid.)
  std::vector<TTermMsg*> delivered;
  {
    std::lock_guard lock(outgoing_.mutex);
    for (TOneSat* sat : group.SatList) {
      const std::string id = std::to_string(sat->Nr);
      for (TTermMsg& msg : outgoing_.msgs) {
        if (msg.Done || std::find(msg.Via.begin(), msg.Via.end(), id) == msg.Via.end()) continue;
        if (std::find(delivered.begin(), delivered.end(), &msg) != delivered.end()) continue;
        const int result = line_.DeliveryQuestion(sat->Nr, msg.Term);
        if (result == -4) {
          sat->Online = false;
          continue;
        }
        sat->Online = true;
        sat->LastContact = Clock();
        if (result != -7 && result != -8) continue;  // "<SYS>" or "<ACK>": delivered
        TermLog(msg.Term, Format(kDelivered, msg.Text));
        delivered.push_back(&msg);
      }
    }
  }
  if (delivered.empty()) return;
  std::lock_guard inboxLock(inbox_.mutex);
  std::lock_guard lock(outgoing_.mutex);
  for (TTermMsg* msg : delivered) {
    msg->Done = true;
    TOneTermData& term = inbox_.Find(msg->Term);
    term.HostCounter = NextCounter(term.HostCounter);
    term.History.push_back(msg->Text);
    while (term.History.size() > kMaxHistory) term.History.pop_front();
  }
  outgoing_.msgs.remove_if([](const TTermMsg& msg) { return msg.Done; });
}

// ---- logs ------------------------------------------------------------------------------------

void Tv24SatThread::LineLog(const std::string& text) {
  if (lineDebug_ == nullptr) return;
  const double seconds = static_cast<double>(Clock() - createdAt_) / 1000.0;
  std::fprintf(lineDebug_, "%12.5fs: %s\n", seconds, text.c_str());
  std::fflush(lineDebug_);
}

void Tv24SatThread::TermLog(int terminal, const std::string& text, bool blankLine) {
  termDebug_.Write(terminal, text, blankLine);
}

}  // namespace quillon
