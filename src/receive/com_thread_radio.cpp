// The receive thread on a port that runs a radio network: the network's records are fetched
// every 100 ms (at once when they arrive), each stored on its own, and the satellites' states
// are looked at every 3 s. The network keeps a station's data on the station until the records
// handed over from it are stored.
#include <algorithm>

#include "common/clock.h"
#include "common/format.h"
#include "common/texts.h"
#include "common/ui_sink.h"
#include "radio/tembra_fkt.h"
#include "receive/com_thread.h"
#include "receive/post_process.h"
#include "receive/tokens.h"

namespace quillon {

namespace {

constexpr int kFetchEveryMs = 100;
constexpr uint64_t kSatelliteCheckEveryMs = 3000;
// Records are delivered whole: larger than any record a station can hand over (a reply holds
// at most 256 bytes, its number bytes become two digits each).
constexpr size_t kRecordBufferSize = 4096;
constexpr size_t kStatusBufferSize = 4096;
constexpr const char* kOfflineState = "<Offline or Error>";

}  // namespace

bool TComThread::StartNetwork(bool firstTime) {
  const TQuillonOpt& opt = Opt();
  NetworkContext context;
  context.programDir = env_.app.AppInfo.ProgramDir;
  context.shutdown = &env_.shutdown;
  context.askYesNo = [this](const std::string& question) {
    return env_.ui.AskYesNo(question, false);
  };
  NetHandle = firstTime ? TembraOpen(opt.PortName, opt.Baudrate, opt.DataBits, opt.Parity,
                                     opt.StopBits, "", context)
                        : TembraOpenDefault(opt.PortName, opt.Baudrate, "", context);
  if (NetHandle < 1) {
    NetHandle = -1;
    return false;
  }
  (void)TembraConfirmStores(NetHandle, [this] {
    {
      std::lock_guard lock(wait_mutex_);
      NetRecordsWaiting = true;
    }
    wake_.notify_all();
  });
  (void)TembraPolling(NetHandle, -1);
  return true;
}

void TComThread::CloseNetwork() {
  if (NetHandle < 1) return;
  // Closing ends the cycle after its current step and stops every satellite's polling; a stop
  // of the cycle first would wait for the group's whole turn.
  (void)TembraClose(NetHandle);
  NetHandle = -1;
}

bool TComThread::RunNetwork() {
  // The network opens the line itself.
  (void)AckNak->Close();
  if (!StartNetwork(true)) {
    SetLed(kLedError);
    Report(true, 1, txt::kNetworkStartFailed, txt::kNetworkStartFailed);
    return false;
  }
  SetLed(kLedReady);
  (void)store_.RecoverLocalFiles([this](const std::string& target) { PostProcessStored(target); });
  ResetTransferCounters();
  {
    std::lock_guard lock(env_.app.GlobalApp.ListLock);
    Status().DataLines.clear();
  }
  Report(true, 1, txt::kNetworkStarting, txt::kNetworkStarting);
  LastNetCheck = Clock();
  while (!Terminated()) {
    if (PauseRequested.load()) {
      Report(true, 1, txt::kPortClosingForPause, txt::kPortClosingForPause);
      SetLed(kLedClosed);
      CloseNetwork();
      {
        std::lock_guard lock(wait_mutex_);
        Paused = true;
      }
      paused_.notify_all();
      while (PauseRequested.load() && !Terminated()) {
        WaitFor(-1, [this] { return Terminated() || !PauseRequested.load(); });
      }
      Paused = false;
      if (Terminated()) break;
      Report(true, 1, txt::kPortReopening, txt::kPortReopening);
      if (!StartNetwork(false)) {
        SetLed(kLedError);
        SuspendUntilStopped();
        break;
      }
      SetLed(kLedReady);
      continue;
    }
    WaitFor(kFetchEveryMs,
            [this] { return Terminated() || PauseRequested.load() || NetRecordsWaiting.load(); });
    NetRecordsWaiting = false;
    std::string buffer;
    if (TembraReceive(NetHandle, -1, buffer, kRecordBufferSize) > 0) {
      LastStoredFile.clear();
      const bool stored = NetworkRecords(buffer);
      (void)TembraStored(NetHandle, stored);
      if (stored) {
        SetLed(kLedReady);
        if (!LastStoredFile.empty()) PostProcessStored(LastStoredFile);
      }
    }
    if (Clock() - LastNetCheck >= kSatelliteCheckEveryMs) SatelliteCheck();
  }
  if (NetHandle > 0) {
    SetLed(kLedClosed);
    Report(true, 1, txt::kNetworkStopping, txt::kNetworkStopping);
    CloseNetwork();
  }
  return true;
}

bool TComThread::NetworkRecords(const std::string& buffer) {
  const TQuillonOpt& opt = Opt();
  static constexpr const char* kEnds[] = {"\r\n", "\n", "\r", "\n"};
  const char* end = kEnds[std::clamp(opt.SaveFormat, 0, 3)];
  bool all = true;
  size_t start = 0;
  while (start < buffer.size()) {
    const size_t stop = std::min(buffer.find_first_of("\r\n", start), buffer.size());
    const std::string record = buffer.substr(start, stop - start);
    start = stop + 1;
    if (record.empty()) continue;
    const auto expanded = ExpandTokens(record, TargetNames);
    if (!expanded) {
      const std::string text =
          Format(txt::kRecordTooLong, RecordCount + 1, static_cast<int>(kMaxRecordBytes));
      Report(true, 1, text, text);
      all = false;
      continue;
    }
    if (expanded->empty()) continue;
    SetFileName(TempFileName);
    bool written = false;
    try {
      OutFile = std::make_unique<TOrvFile32>(TempFileName, true);
      OutFile->Write(*expanded + end);
      written = !OutFile->ioError && OutFile->Flush();
    } catch (const std::exception&) {
      written = false;
    }
    Report(true, 1, {}, {}, *expanded, static_cast<int>(expanded->size()), 1);
    ++RecordCount;
    bool stored = false;
    if (written) {
      stored = store_.StoreFile(*OutFile, TargetNames, RecordCount, false, LastStoredFile, {});
      DeleteTempFile(4);
    } else {
      DeleteTempFile(5);
      Report(true, 1, Format(txt::kReceiveFileFailedLog, TempFileName, 2), txt::kReceiveFileFailed);
      SetLed(kLedError);
    }
    all = all && stored;
    RecordCount = 0;
  }
  return all;
}

void TComThread::SatelliteCheck() {
  std::string text;
  const int result = TembraQuerySatellites(NetHandle, -1, 3, text, kStatusBufferSize);
  LastNetCheck = Clock();
  if (result != 0 && text.empty()) {
    Report(true, 1, txt::kSatelliteQueryFailed, txt::kSatelliteQueryFailed);
    return;
  }
  size_t start = 0;
  while (start < text.size()) {
    const size_t stop = std::min(text.find('\r', start), text.size());
    const std::string line = text.substr(start, stop - start);
    start = stop + 1;
    if (line.size() < 3) continue;
    const std::string id = line.substr(0, 2);
    const bool online = line.substr(3) != kOfflineState;
    auto has = [&id](const std::vector<std::string>& list) {
      return std::find(list.begin(), list.end(), id) != list.end();
    };
    auto drop = [&id](std::vector<std::string>& list) {
      list.erase(std::remove(list.begin(), list.end(), id), list.end());
    };
    if (online) {
      drop(SatOffline);
      if (!has(SatOnline)) {
        SatOnline.push_back(id);
        const std::string report = Format(txt::kSatelliteOnline, id);
        Report(true, 1, report, report);
      }
    } else {
      drop(SatOnline);
      if (!has(SatOffline)) {
        SatOffline.push_back(id);
        const std::string report = Format(txt::kSatelliteOffline, id);
        Report(true, 1, report, report);
      }
    }
  }
}

}  // namespace quillon
