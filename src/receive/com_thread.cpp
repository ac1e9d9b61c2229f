#include "receive/com_thread.h"

#include <unistd.h>

#include <algorithm>

#include "common/clock.h"
#include "common/encoding.h"
#include "common/file_io.h"
#include "common/format.h"
#include "common/texts.h"
#include "common/ui_sink.h"
#include "protocols/xyz_port.h"
#include "receive/file_store.h"
#include "receive/modem_settings.h"
#include "receive/own_files.h"
#include "receive/post_process.h"
#include "receive/terminal_commands.h"
#include "receive/tokens.h"
#include "send/send_operation.h"
#include "serial/result_codes.h"
#include "serial/serial_device.h"

namespace quillon {
namespace {

constexpr int kPauseWaitMs = 10000;
constexpr int kPauseStepMs = 500;
constexpr int kModemIdleMs = 20;
// A lost line is tried again after 1 s, then after twice the last pause, at most 10 s.
constexpr int kReopenFirstMs = 1000;
constexpr int kReopenMaxMs = 10000;

constexpr int kXmodem = 2;
// With a modem, an X-Modem reception is tried this many times before the thread looks at its
// line again; Y- and Z-Modem keep trying until data arrives.
constexpr int kXmodemModemTries = 11;
// From this many bytes on a transfer counts as begun: it is not tried again, and its failure is
// reported as a failed reception of the file.
constexpr int kTransferBegunBytes = 64;
// The transfer shows its progress in blocks of this size.
constexpr int kModemBlockBytes = 128;

std::atomic<int> running_threads{0};

// True when the file is gone afterwards (or never was there).
bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0 || !PathExists(path); }

}  // namespace

TComThread::TComThread(std::shared_ptr<ReceptionEnv> env, int port)
    : envHold_(std::move(env)),
      env_(*envHold_),
      PortNo_(port),
      store_(port, env_.app.PortSettings[port], env_.app.AppInfo.ProgramDir, *this) {
  TempFileName = env_.app.AppInfo.ProgramDir + "rxtmp" + std::to_string(port) + ".dat";
  Passwords = ModemPasswordList(Opt());
  store_.SetProgramFileCheck(
      [&app = env_.app](const std::string& name) { return IsProgramFile(app, name); });
  TMyThreads& st = Status();
  st.UpdatePending = false;
  st.LedPending = false;
  st.Finished = false;
}

TComThread::~TComThread() {
  if (thread_.joinable()) thread_.detach();
}

void TComThread::Start() {
  // The running thread keeps its own object (and through it the shared environment) alive
  // until it has ended.
  running_threads.fetch_add(1);
  thread_ = std::thread([self = shared_from_this()] {
    // The program's end wakes the thread's own waits; the port's waits see the shutdown fd.
    const int waker = self->env_.shutdown.AddWaker([raw = self.get()] {
      std::lock_guard lock(raw->wait_mutex_);
      raw->wake_.notify_all();
    });
    self->Run();
    self->env_.shutdown.RemoveWaker(waker);
    {
      std::lock_guard lock(self->end_mutex_);
      self->ended_ = true;
    }
    self->end_cv_.notify_all();
    // Whoever shows the ports learns that this thread has ended and may join it.
    self->env_.ui.PostPortUpdate(self->PortNo_, true);
    running_threads.fetch_sub(1);
  });
}

int TComThread::RunningCount() { return running_threads.load(); }

bool TComThread::WaitUntilEnded(int ms) {
  std::unique_lock lock(end_mutex_);
  return end_cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return ended_; });
}

bool TComThread::HasEnded() {
  std::lock_guard lock(end_mutex_);
  return ended_;
}

bool TComThread::Terminated() const {
  return StopRequested.load() || env_.shutdown.IsShuttingDown();
}

void TComThread::Sleep(int ms) {
  WaitFor(ms, [this] { return Terminated() || PauseRequested.load(); });
}

void TComThread::WaitFor(int ms, const std::function<bool()>& done) {
  std::unique_lock lock(wait_mutex_);
  if (ms < 0) {
    wake_.wait(lock, done);
  } else {
    wake_.wait_for(lock, std::chrono::milliseconds(ms), done);
  }
}

void TComThread::RequestStop() {
  {
    std::lock_guard lock(wait_mutex_);
    StopRequested = true;
    AbortTransfer = true;
  }
  {
    std::lock_guard lock(port_mutex_);
    if (AckNak) AckNak->SetAbortRequested(true);
    if (LibPort != nullptr) LibPort->Wake();
    if (UpdateCancel != nullptr) UpdateCancel->Cancel();
  }
  wake_.notify_all();
}

void TComThread::ReplacePort(std::unique_ptr<TOrvAckNak> port) {
  std::lock_guard lock(port_mutex_);
  AckNak = std::move(port);
  // A stop that came while the port was being replaced still ends the new port's waits.
  if (AckNak && StopRequested.load()) AckNak->SetAbortRequested(true);
}

bool TComThread::RequestPause(const std::atomic<bool>* giveUp) {
  {
    std::lock_guard lock(wait_mutex_);
    AbortTransfer = true;
    PauseRequested = true;
  }
  {
    // A modem transfer holds the line: it ends at once and gives the line back.
    std::lock_guard lock(port_mutex_);
    if (LibPort != nullptr) LibPort->Wake();
  }
  wake_.notify_all();
  std::unique_lock lock(wait_mutex_);
  return paused_.wait_for(lock, std::chrono::milliseconds(kPauseWaitMs), [this, giveUp] {
    return Paused.load() || (giveUp != nullptr && giveUp->load());
  }) && Paused.load();
}

void TComThread::WakePauseWait() {
  {
    // Taken so a waiter either sees its give-up flag or is already waiting for this wake-up.
    std::lock_guard lock(wait_mutex_);
  }
  paused_.notify_all();
}

void TComThread::ReleasePause() {
  {
    std::lock_guard lock(wait_mutex_);
    AbortTransfer = false;
    PauseRequested = false;
  }
  wake_.notify_all();
}

// ---- reporting -------------------------------------------------------------------------------

void TComThread::Report(bool force, int level, const std::string& logText,
                        const std::string& statusText, const std::string& dataLine, int addBytes,
                        int addRecords) {
  TMyThreads& st = Status();
  st.Records += addRecords;
  st.Bytes += addBytes;
  bool changed = addRecords > 0 || addBytes > 0;
  bool onlyStatus = true;
  const int logLevel = Opt().LogLevel;
  {
    std::lock_guard lock(env_.app.GlobalApp.ListLock);
    if (level <= std::max(logLevel, 1) && !statusText.empty()) {
      st.StatusText = statusText;
      changed = true;
    }
    if (level <= logLevel && !logText.empty()) {
      st.LogLines.push_back(logText);
      changed = true;
      onlyStatus = false;
    }
    if (!dataLine.empty()) {
      while (st.DataLines.size() >= kMaxDataLines) st.DataLines.pop_front();
      st.DataLines.push_back(dataLine.substr(0, kMaxDataLineChars));
      changed = true;
      onlyStatus = false;
    }
  }
  if ((!changed || st.UpdatePending.load()) && !force) return;
  st.UpdatePending = true;
  env_.ui.PostPortUpdate(PortNo_, onlyStatus);
}

void TComThread::SetLed(int state) {
  Status().LedState = state;
  if (!Status().LedPending.exchange(true)) env_.ui.PostPortLed(PortNo_, state);
}

void TComThread::SetFileName(const std::string& name) {
  std::lock_guard lock(env_.app.GlobalApp.ListLock);
  Status().FileName = name;
}

void TComThread::ReportCommunicationError() {
  std::string frame;
  for (const uint8_t* p = AckNak->FrameBuffer(); *p != 0 && p < AckNak->FrameBuffer() + 300; ++p) {
    frame += static_cast<char>(*p);
  }
  const std::string line = std::string(txt::kCommErrorStart) + AckNak->ErrorText() +
                           txt::kCommErrorBlock + std::to_string(AckNak->blocksDone + 1) +
                           txt::kCommErrorData + "\"" + Cp1252ToUtf8(frame) + "\")";
  TMyThreads& st = Status();
  {
    std::lock_guard lock(env_.app.GlobalApp.ListLock);
    st.LogLines.push_back(line);  // whatever the logbook level
    st.StatusText = txt::kBadTerminalAnswer;
  }
  st.UpdatePending = true;
  env_.ui.PostPortUpdate(PortNo_, false);
}

// ---- main loop -------------------------------------------------------------------------------

void TComThread::Run() {
  if (OpenPort(true)) {
    while (!Terminated()) {
      if (PauseRequested.load()) {
        Report(true, 1, txt::kPortClosingForPause, txt::kPortClosingForPause);
        SetLed(kLedClosed);
        ReplacePort(nullptr);
        {
          std::lock_guard lock(wait_mutex_);
          Paused = true;
        }
        paused_.notify_all();
        // Woken by the release, a stop or the program's end; the 500 ms steps are a safety net.
        while (PauseRequested.load() && !Terminated()) {
          WaitFor(kPauseStepMs, [this] { return Terminated() || !PauseRequested.load(); });
        }
        Paused = false;
        if (Terminated()) break;
        if (LineLost) continue;  // the line is still to be found again
        Report(true, 1, txt::kPortReopening, txt::kPortReopening);
        if (!OpenPort(false)) {
          SetLed(kLedError);
          break;
        }
        SetLed(kLedReady);
        continue;
      }
      if (!AckNak) {
        ReopenLostLine();
        continue;
      }
      if (AckNak->LineGone()) {
        LoseLine();
        continue;
      }
      if (!Gate() || PauseRequested.load()) continue;
      int protocol = Opt().Protocol;
      if (AckNak && AckNak->protocolRequest == "ACKNAK") protocol = 0;
      bool goOn = false;
      if (protocol == 0) {
        goOn = ReceiveAckNak();
      } else if (protocol >= 2 && protocol <= 4) {
        goOn = ReceiveModem(protocol);
      } else if (protocol == 1) {
        goOn = RunNetwork() && !Terminated();
      }
      if (!goOn) break;
    }
  } else {
    SuspendUntilStopped();
  }
  if (AckNak) {
    const std::string device = AckNak->DevicePath();
    ReplacePort(nullptr);
    // Closing leaves DTR as it is: a call that is still up is ended here, nobody answers it
    // any more.
    if (Opt().ModemEnabled) (void)DropDtr(device);
    SetLed(kLedClosed);
    Report(true, 1, txt::kPortClosing, txt::kPortClosing);
  }
  OutFile.reset();
  Status().Finished = true;
}

void TComThread::LoseLine() {
  const std::string text = ErrorTextOf(rc::kPortBroken);
  Report(true, 1, text, text);
  SetLed(kLedError);
  // A pseudo-terminal named by its number never comes back: a new one with that number belongs
  // to somebody else. Devices and links to pseudo-terminals are opened again when they are back.
  LineGoneForGood = AckNak->DevicePath().rfind("/dev/pts/", 0) == 0;
  ReplacePort(nullptr);
  LineLost = true;
  ReopenPauseMs = kReopenFirstMs;
}

void TComThread::ReopenLostLine() {
  Sleep(LineGoneForGood ? -1 : ReopenPauseMs);
  if (Terminated() || PauseRequested.load()) return;
  ReopenPauseMs = std::min(ReopenPauseMs * 2, kReopenMaxMs);
  if (!OpenPort(false, true)) return;
  if (AckNak->LineGone()) {
    // A device node that is there but not alive yet: tried again later.
    ReplacePort(nullptr);
    return;
  }
  LineLost = false;
  Report(true, 1, txt::kPortOpening, txt::kPortOpening);
  SetLed(kLedReady);
}

void TComThread::SuspendUntilStopped() {
  while (!Terminated()) WaitFor(kPauseStepMs, [this] { return Terminated(); });
}

bool TComThread::OpenPort(bool firstTime, bool quiet) {
  const TQuillonOpt& opt = Opt();
  auto port = std::make_unique<TOrvAckNak>(&env_.shutdown);
  if (port->Open(opt.PortName, opt.Baudrate, opt.DataBits, opt.Parity, opt.StopBits) <= 0) {
    if (!quiet) Report(true, 1, Format(txt::kPortOpenFailed, 1), Format(txt::kPortOpenFailed, 1));
    return false;
  }
  ReplacePort(std::move(port));
  AckNak->autoAck = false;
  AckNak->SetTimeout(opt.AckNakRxTimeout);
  AckNak->SetCharDelay(opt.CharDelay);
  AckNak->clockTimeout = opt.ClockSyncTimeout;
  if (opt.PollEnabled) AckNak->pollTimeout = opt.PollInterval;
  ConnectPortLog();
  if (firstTime) Report(true, 1, txt::kPortOpening, txt::kPortOpening);
  if (opt.ModemEnabled) ApplyModemSettings(*AckNak, opt, env_.app.GlobalApp.ModemSendReady);
  return true;
}

void TComThread::ConnectPortLog() {
  // From the port's opening on: the modem dialogue before a first transfer is logged too.
  const TQuillonOpt& opt = Opt();
  if (opt.LogLevel != 0) {
    AckNak->logTarget = [this](const std::string& line) { Report(false, 1, line, {}); };
    AckNak->verboseLog = opt.LogLevel == 3;
  } else {
    AckNak->logTarget = nullptr;
  }
}

// ---- gate ------------------------------------------------------------------------------------

bool TComThread::Gate() {
  const TQuillonOpt& opt = Opt();
  if (opt.PollEnabled) {
    if (opt.PollAddresses.empty()) {
      Sleep(opt.PollInterval);  // nobody to call
      return false;
    }
    if (PollIndex >= opt.PollAddresses.size()) PollIndex = 0;
    const std::string address = opt.PollAddresses[PollIndex];
    Report(false, 1, {}, Format(txt::kPolling, address));
    SetLed(kLedBusy);
    const bool answered = AckNak->Poll(address) == rc::kOk;
    if (answered) env_.app.PortSettings[PortNo_].CurrentPollAddr = address;
    PollIndex = PollIndex + 1 >= opt.PollAddresses.size() ? 0 : PollIndex + 1;
    return answered;
  }
  if (opt.ModemEnabled) return ModemStep();
  return true;
}

void TComThread::HangUpModem() {
  SetLed(kLedBusy);
  HangupFailed = AckNak->HangUp() != rc::kOk;
  LastModemCheck = 0;
  ModemOnline = false;
}

bool TComThread::ModemStep() {
  if (HangupFailed) HangUpModem();
  if (ModemOnline) {
    const int call = AckNak->WaitForCall(Passwords);
    if (call == rc::kOk) {
      SetLed(kLedBusy);
      return true;
    }
    if (call == rc::kModemFailure) {
      SetLed(kLedError);
      LastModemCheck = 0;
      HangupFailed = false;
    } else if (call == rc::kModemPasswordWrong) {
      SetLed(kLedError);
      HangUpModem();
    }
  }
  if (HangupFailed) return false;
  const uint64_t now = Clock();
  const uint64_t period = static_cast<uint64_t>(std::max(Opt().ModemPollTime, 1)) * 1000u;
  if (LastModemCheck != 0 && now < LastModemCheck + period) {
    Sleep(kModemIdleMs);
    return false;
  }
  SetLed(kLedBusy);
  const bool present = AckNak->ModemPresent();
  if (LastModemCheck != 0 && present == ModemOnline) {
    LastModemCheck = Clock();
    return false;
  }
  ModemOnline = present;
  if (present) {
    Report(false, 1, Format(txt::kModemState, txt::kModemOnline),
           Format(txt::kModemState, txt::kModemOnline));
    if (AckNak->InitModem() == rc::kOk) {
      Report(false, 1, txt::kModemInitOk, txt::kModemInitOk);
    } else {
      ModemOnline = false;
      HangUpModem();
      Report(false, 1, txt::kModemInitFailed, txt::kModemInitFailed);
    }
  } else {
    Report(false, 1, Format(txt::kModemState, txt::kModemOffline),
           Format(txt::kModemState, txt::kModemOffline));
  }
  SetLed(kLedBusy);
  LastModemCheck = Clock();
  return false;
}

// ---- block protocol reception ----------------------------------------------------------------

bool TComThread::ReceiveAckNak() {
  const TQuillonOpt& opt = Opt();
  SetLed(kLedReady);
  // Each kept file that reaches the target is a stored transfer of its own.
  (void)store_.RecoverLocalFiles([this](const std::string& target) { PostProcessStored(target); });
  if (Terminated()) return false;
  const bool stored = ReceiveFirstBlock() && ReceiveBlocks();
  const bool synced = !stored || !opt.ClockSync || SyncTerminalClock();
  if (opt.ModemEnabled) HangUpModem();
  if (stored) {
    if (synced) SetLed(kLedReady);
    // The terminal has its final ACK and has let go of the data: a failed clock setting must
    // not keep the transfer from its import. A transfer only in the local store is
    // post-processed when it reaches the target.
    if (!LastStoredFile.empty()) PostProcessStored(LastStoredFile);
  }
  return !Terminated();
}

void TComThread::PostProcessStored(const std::string& storedFile) {
  PostProcess(PortNo_, Opt(), storedFile, env_.app.AppInfo.ProgramDir, *this);
  if (env_.forward) env_.forward(PortNo_, storedFile);
}

bool TComThread::ReceiveFirstBlock() {
  const int result = AckNak->ReceiveBlock('1');
  if (AckNak->GetLastError() != rc::kOk || result != rc::kBlockReceived) return false;
  if (AckNak->FrameBuffer()[3] != acknak::kTypeFirst) {
    // A block from the middle of a transfer whose start we never saw (the terminal repeats it
    // after a failed attempt): taking it as a start would store the transfer without its
    // beginning. Refused, the terminal gives up and starts the transfer again.
    AckNak->SendNak();
    return false;
  }
  TMyThreads& st = Status();
  st.Records = 0;
  st.Bytes = 0;
  {
    std::lock_guard lock(env_.app.GlobalApp.ListLock);
    st.FileName = TempFileName;
    st.DataLines.clear();
  }
  const TQuillonOpt& opt = Opt();
  if (opt.PollEnabled) {
    Report(false, 2, Format(txt::kPollAddressActive, opt.CurrentPollAddr),
           Format(txt::kPolling, opt.CurrentPollAddr));
  }
  TargetNames = {};
  LastStoredFile.clear();
  try {
    OutFile = std::make_unique<TOrvFile32>(TempFileName, true);
    // Its content counts only once FinishTransfer has flushed it, before the final ACK.
    OutFile->CollectWrites();
    Report(false, 1, Format(txt::kReceivingFile, TempFileName),
           Format(txt::kReceivingFile, TempFileName));
  } catch (const std::exception&) {
    Report(false, 1, Format(txt::kCreateFileFailed, TempFileName),
           Format(txt::kCreateFileFailed, TempFileName));
    OutFile.reset();
    if (PathExists(TempFileName) && !RemoveFile(TempFileName)) {
      const std::string text = Format(txt::kDeleteFileFailed, TempFileName, 1);
      Report(true, 1, text, text);
      SetLed(kLedError);
    }
    return false;
  }
  const bool taken = opt.WithHeader ? StoreBlock() : AckNak->SendAck() == rc::kOk;
  // A first block that could not be taken ends the transfer here: its file goes.
  return taken || FinishTransfer(false, false);
}

bool TComThread::StoreBlock() {
  TMyThreads& st = Status();
  st.DataChanged = true;
  const TQuillonOpt& opt = Opt();
  uint8_t* frame = AckNak->FrameBuffer();
  const std::string data(reinterpret_cast<char*>(frame) + 4,
                         static_cast<size_t>(AckNak->DataLength()));
  const auto expanded = ExpandTokens(data, TargetNames);
  if (!expanded) {
    // Not acknowledged: the transfer fails, nothing of it is stored.
    const std::string text =
        Format(txt::kRecordTooLong, AckNak->blocksDone, static_cast<int>(kMaxRecordBytes));
    Report(true, 1, text, text);
    return false;
  }
  bool written = true;
  std::string record;
  if (!expanded->empty()) {
    static constexpr const char* kEnds[] = {"\r\n", "\n", "\r", "\n"};
    const char* end = kEnds[std::clamp(opt.SaveFormat, 0, 3)];
    record.reserve(expanded->size() + 3);
    if (opt.WithTypeChar) record += static_cast<char>(frame[3]);
    record += *expanded;
    record += end;
    OutFile->Write(record);
    written = !OutFile->ioError;
    record.resize(record.size() - std::char_traits<char>::length(end));
  } else {
    AckNak->ClearData();  // a block of only a file token is no command block
  }
  // The terminal gets its answer as soon as the record is written; the display follows.
  const bool ok = written && AckNak->SendAck() == rc::kOk;
  if (!record.empty()) Report(false, 1, {}, {}, record, static_cast<int>(record.size()), 1);
  SetLed(kLedBusy);
  return ok;
}

bool TComThread::ReceiveBlocks() {
  bool received = false;
  bool commandTransfer = false;
  bool lastStore = true;
  while (!Terminated()) {
    const int result = AckNak->ReceiveBlock('+');
    if (result == rc::kEndOfTransfer) {
      received = AckNak->blocksDone == 1 ? true : lastStore;
      break;
    }
    if (AckNak->GetLastError() != rc::kOk || result != rc::kBlockReceived) {
      ReportCommunicationError();
      break;
    }
    if (AckNak->FrameBuffer()[3] == acknak::kTypeFirst) {
      // The terminal started its transfer anew: what came so far is incomplete.
      ReportCommunicationError();
      break;
    }
    lastStore = StoreBlock();
    const int n = AckNak->DataLength();
    const uint8_t* data = AckNak->FrameBuffer() + 4;
    if (n > 0 && data[0] == '$' && data[n - 1] == '$') commandTransfer = true;
    if (!lastStore) break;
  }
  return FinishTransfer(received && !StopRequested.load(), commandTransfer);
}

bool TComThread::FinishTransfer(bool received, bool commandTransfer) {
  RecordCount = OutFile ? OutFile->linesWritten : 0;
  if (!OutFile || !OutFile->Flush()) received = false;
  bool result = false;
  if (!received) {
    DeleteTempFile(3);
    Report(true, 1, Format(txt::kReceiveFileFailedLog, TempFileName, 1), txt::kReceiveFileFailed);
    SetLed(kLedError);
    return false;
  }
  if (commandTransfer) {
    OutFile.reset();  // the commands read it by its name
    AckNak->SendAck();
    CommandContext commands{PortNo_,
                            *AckNak,
                            Opt(),
                            env_.app.AppInfo.ProgramDir,
                            *this,
                            [this] { Report(true, 1, txt::kPortAlreadyOpenCommand, {}); },
                            [this] {
                              // Ends this very thread: no waiting for itself.
                              StopRequested = true;
                            },
                            &env_.app};
    commands.wait = [this](int ms) {
      Sleep(ms);
      return !Terminated();
    };
    commands.sendUpdate = [this](const std::string& file, const TOrvAckNak::Progress& progress) {
      return SendUpdate(file, progress);
    };
    commands.resetCounters = [this] { ResetTransferCounters(); };
    if (Opt().PollEnabled) commands.pollAddress = AckNak->lastPolled;
    if (RunCommands(commands, TempFileName)) {
      Report(true, 1, txt::kCommandsDone, txt::kCommandsDone);
    } else {
      Report(true, 1, txt::kCommandsFailed, txt::kCommandsFailed);
      SetLed(kLedError);
    }
    // A port that "$s^update" could not open again is a lost line.
    if (!AckNak->IsOpen()) {
      LoseLine();
      return false;
    }
    result = false;
  } else {
    // Stored from the file still open: what the thread wrote is what is stored.
    result = store_.StoreFile(*OutFile, TargetNames, RecordCount, false, LastStoredFile,
                              [this] { return AckNak->SendAck() == rc::kOk; });
  }
  DeleteTempFile(2);
  return result;
}

void TComThread::DeleteTempFile(int place) {
  const bool gone = OutFile ? OutFile->Unlink() : RemoveFile(TempFileName);
  OutFile.reset();
  if (!gone) {
    const std::string text = Format(txt::kDeleteFileFailed, TempFileName, place);
    Report(true, 1, text, text);
  }
}

// ---- X-, Y- and Z-Modem reception -----------------------------------------------------------

bool TComThread::ReceiveModem(int protocol) {
  SetLed(kLedReady);
  (void)store_.RecoverLocalFiles([this](const std::string& target) { PostProcessStored(target); });
  // The port's own temporary file, left over from an earlier run: a transfer never writes over
  // an existing file. One that cannot be deleted keeps reception away from the line for a moment.
  if (!RemoveTempFile(8)) {
    SetLed(kLedError);
    Sleep(kReopenMaxMs);
    return !Terminated();
  }
  LibraryPort port(&env_.shutdown);
  // Known before the last look at the flags: a stop or pause after it wakes the port.
  SetLibraryPort(&port);
  if (!TransferAbandoned()) ReceiveOverLibraryPort(port, protocol);
  SetLibraryPort(nullptr);
  return !Terminated();
}

void TComThread::SetLibraryPort(LibraryPort* port) {
  std::lock_guard lock(port_mutex_);
  LibPort = port;
}

bool TComThread::TransferAbandoned() const {
  return Terminated() || AbortTransfer.load() || PauseRequested.load();
}

void TComThread::ReceiveOverLibraryPort(LibraryPort& port, int protocol) {
  // The port object lets go of the line for the time of the transfer.
  (void)AckNak->Close();
  if (!OpenLibraryPort(port, Opt())) {
    // Not started again with the next start of reception.
    env_.app.GlobalApp.PortActive[PortNo_] = false;
    SetLed(kLedError);
    const std::string text = Format(txt::kPortOpenFailed, 3);
    Report(true, 1, text, text);
    TakeBackLine();
    // What keeps the line from opening seldom goes away at once: the next pass waits a moment.
    Sleep(kReopenFirstMs);
    return;
  }
  ResetTransferCounters();
  std::string senderName;
  const int result = ModemAttempts(port, protocol, senderName);
  port.Close();
  const int bytes = Status().Bytes.load();
  const std::string shownName = senderName.empty() ? TempFileName : senderName;
  if (result <= 0 && result != xyz::kAborted && bytes >= kTransferBegunBytes) {
    const std::string text =
        Format(txt::kModemReceiveFailed, txt::kProtocolNames[protocol], shownName);
    Report(true, 1, text, text);
    (void)RemoveTempFile(6);
  }
  TakeBackLine();
  if (result > 0) {
    StoreModemFile(shownName);
    return;
  }
  // A file that is not complete never stays (the transfer deletes it itself as well).
  (void)RemoveTempFile(7);
  if (result != xyz::kAborted && bytes > 0) {
    Report(true, 1, Format(txt::kReceiveFileFailedLog, shownName, 3), txt::kReceiveFileFailed);
    SetLed(kLedError);
    ResetTransferCounters();
  }
}

int TComThread::ModemAttempts(LibraryPort& port, int protocol, std::string& senderName) {
  const bool modem = Opt().ModemEnabled;
  const xyz::Progress progress = [this, &senderName](int32_t bytesSoFar, int32_t blockLength,
                                                     const uint8_t*, int32_t) {
    return ModemProgress(bytesSoFar, blockLength, senderName);
  };
  int result = xyz::kAborted;
  int tries = 0;
  while (!TransferAbandoned()) {
    // A failed attempt has deleted its file; one that could not is reported afterwards.
    if (PathExists(TempFileName)) return xyz::kFailed;
    if (protocol == kXmodem && modem) ++tries;
    result = ReceiveFileXyz(port, protocol, TempFileName, senderName, progress);
    const bool nothingYet = (result == xyz::kAborted || result == xyz::kTimeout) &&
                            Status().Bytes.load() < kTransferBegunBytes;
    // Without a modem there is one attempt; a dead line is not waited on.
    if (!nothingYet || !modem || tries >= kXmodemModemTries || port.LineGone()) break;
  }
  return result;
}

int TComThread::ModemProgress(int32_t bytesSoFar, int32_t blockLength,
                              const std::string& senderName) {
  if (TransferAbandoned()) return -1;
  if (bytesSoFar < 1 || blockLength < 1) return 0;
  TMyThreads& st = Status();
  if (st.Bytes.load() == 0) {
    const std::string name = senderName.empty() ? TempFileName : senderName;
    SetFileName(name);
    Report(false, 1, Format(txt::kReceivingFile, name), Format(txt::kReceivingFile, name));
  }
  st.Bytes = bytesSoFar;
  st.Records = bytesSoFar / kModemBlockBytes;
  if (!st.UpdatePending.exchange(true)) env_.ui.PostPortUpdate(PortNo_, true);
  SetLed(kLedBusy);
  return 0;
}

void TComThread::StoreModemFile(const std::string& shownName) {
  SetLed(kLedReady);
  TMyThreads& st = Status();
  // The blocks shown while receiving, and the one begun last.
  RecordCount = st.Records.load() + 1;
  st.Records = RecordCount;
  const int64_t size = FileSizeOf(TempFileName);
  st.Bytes = static_cast<int>(std::max<int64_t>(size, 0));
  if (!st.UpdatePending.exchange(true)) env_.ui.PostPortUpdate(PortNo_, true);
  TargetNames = {};
  LastStoredFile.clear();
  bool stored = false;
  try {
    OutFile = std::make_unique<TOrvFile32>(TempFileName, false);
    stored = store_.StoreFile(*OutFile, TargetNames, RecordCount, true, LastStoredFile, {});
  } catch (const std::exception&) {
    Report(true, 1, Format(txt::kReceiveFileFailedLog, shownName, 3), txt::kReceiveFileFailed);
    SetLed(kLedError);
  }
  DeleteTempFile(2);
  if (stored) {
    SetLed(kLedReady);
    if (!LastStoredFile.empty()) PostProcessStored(LastStoredFile);
  }
  ResetTransferCounters();
}

void TComThread::TakeBackLine() {
  if (AckNak->Reopen() <= 0) {
    LoseLine();
    return;
  }
  if (Opt().ModemEnabled) HangUpModem();
}

bool TComThread::RemoveTempFile(int place) {
  if (RemoveFile(TempFileName)) return true;
  const std::string text = Format(txt::kDeleteFileFailed, TempFileName, place);
  Report(true, 1, text, text);
  return false;
}

int TComThread::SendUpdate(const std::string& file, const TOrvAckNak::Progress& progress) {
  AckNak->Close();
  SendCancel cancel;
  {
    std::lock_guard lock(port_mutex_);
    UpdateCancel = &cancel;
    if (StopRequested.load()) cancel.Cancel();
  }
  const SendHooks hooks{[this](const std::string& line) { Report(true, 1, line, {}); },
                        {},
                        [this, &progress](int blocks, int bytes, int percent) {
                          progress(PortNo_, blocks, bytes, percent);
                        }};
  const SendOutcome outcome = RunSend(Opt(), kSendDl, file, hooks, cancel, &env_.shutdown);
  {
    std::lock_guard lock(port_mutex_);
    UpdateCancel = nullptr;
  }
  if (AckNak->Reopen() > 0) ConnectPortLog();
  return outcome.sent ? rc::kOk : rc::kUndefined;
}

void TComThread::ResetTransferCounters() {
  TMyThreads& st = Status();
  st.Records = 0;
  st.Bytes = 0;
  SetFileName({});
}

bool TComThread::SyncTerminalClock() {
  Report(false, 1, {}, txt::kClockSyncing);
  if (AckNak->GetCharDelay() > 0) Delay(20);
  if (AckNak->SendClock() != rc::kOk) {
    SetLed(kLedError);
    Report(false, 1, txt::kClockSyncFailed, txt::kClockSyncFailed);
    return false;
  }
  if (Opt().LogLevel != 1) {
    Report(false, 2, Format(txt::kClockSyncAfter, AckNak->responseTime), txt::kClockSynced);
  } else {
    Report(false, 1, txt::kClockSynced, txt::kClockSynced);
  }
  SetLed(kLedReady);
  Report(true, 1, txt::kClockSyncDone, txt::kClockSyncDone);
  return true;
}

}  // namespace quillon
