#include "receive/logbook.h"

#include <sys/stat.h>

#include <cerrno>
#include <mutex>

#include "common/file_io.h"
#include "common/format.h"
#include "common/texts.h"
#include "receive/logbook_file.h"
#include "receive/logbook_line.h"

namespace quillon {

Logbook::Logbook(AppContext& app, PortStatusArray& status, UiSink& ui)
    : app_(app), status_(status), ui_(ui), external_(app, ui) {}

void Logbook::Load() {
  // The external state comes first: a "new logbook" line written below already runs the day
  // check, which must start from the saved day slot.
  external_.ReadState();
  UpdateExternalNames(false);
  for (int port = 1; port <= kPortCount; ++port) LoadPort(port);
}

void Logbook::LoadPort(int port) {
  const std::string& path = app_.GlobalApp.PortLogFile[port];
  if (path.empty()) return;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 && errno == ENOENT) return;

  // Only a regular file is read: a FIFO or device in its place would block the start.
  std::optional<std::string> bytes;
  if (S_ISREG(st.st_mode)) bytes = ReadWholeFile(path);
  if (bytes) {
    std::vector<std::string> lines = ParseLogbookFile(*bytes);
    std::lock_guard lock(app_.GlobalApp.ListLock);
    lists_[port].Assign(std::move(lines));
    return;
  }
  {
    std::lock_guard lock(app_.GlobalApp.ListLock);
    lists_[port].Clear();
  }
  AddLine(port, txt::kLogbookCreated);
  ui_.ShowMessage(MessageKind::Error, Format(txt::kLogbookLoadFailed, path));
}

void Logbook::Save(int port) {
  const int first = port < 1 ? 1 : port;
  const int last = port < 1 ? kPortCount : port;
  for (int n = first; n <= last && IsPort(n); ++n) {
    const std::string& path = app_.GlobalApp.PortLogFile[n];
    std::vector<std::string> lines = Lines(n);
    if (lines.empty() || path.empty()) continue;
    if (!WriteFileAtomically(path, SerializeLogbookFile(lines))) {
      ui_.ShowMessage(MessageKind::Error, Format(txt::kLogbookSaveFailed, path));
    }
  }
}

void Logbook::AddLine(int port, const std::string& text) {
  if (port != kAllPorts && !IsPort(port)) return;
  if (text.empty() || Add(port, text)) Notify(port);
}

bool Logbook::Add(int port, const std::string& rawText) {
  if (rawText.empty()) return false;
  const std::string text = CleanLogbookText(rawText);
  const std::time_t now = clock();
  TGlobalApp& global = app_.GlobalApp;

  if (port != kAllPorts) {
    if (app_.PortSettings[port].LogLevel == 0) return false;
    const std::string line = FormatLogbookLine(port, text, now);
    {
      std::lock_guard lock(global.ListLock);
      lists_[port].Add(line);
    }
    Distribute(port, line, now);
    return true;
  }

  // Whether a port takes part is its active flag, as reception uses it: a port ticked in the
  // setup dialog without its pages saved has a live slot that still holds the old "Aktiviert".
  std::vector<int> ports;
  for (int n = 1; n <= kPortCount; ++n) {
    if (global.PortPresent[n] && global.PortActive[n] && app_.PortSettings[n].LogLevel != 0) {
      ports.push_back(n);
    }
  }
  if (ports.empty()) return false;
  const std::string untagged = FormatUntaggedLogbookLine(text, now);
  {
    std::lock_guard lock(global.ListLock);
    for (const int n : ports) lists_[n].Add(untagged);
  }
  for (const int n : ports) Distribute(n, FormatLogbookLine(n, text, now), now);
  return true;
}

void Logbook::Distribute(int port, const std::string& taggedLine, std::time_t now) {
  printer.Print(app_.GlobalApp, taggedLine);
  external_.Append(port, taggedLine, now);
  if (echo) echo(taggedLine);
}

void Logbook::TakeOver(int port, bool forceDisplay, bool clearDataFlag) {
  const int first = port < 1 ? 1 : port;
  const int last = port < 1 ? kPortCount : port;
  for (int n = first; n <= last && IsPort(n); ++n) {
    TMyThreads& record = status_[n];
    if (clearDataFlag) record.DataChanged = false;
    std::vector<std::string> pending;
    {
      std::lock_guard lock(app_.GlobalApp.ListLock);
      pending.swap(record.LogLines);
    }
    for (const std::string& text : pending) Add(n, text);
    if (!pending.empty() || forceDisplay) Notify(n);
  }
}

void Logbook::UpdateExternalNames(bool deleteFiles) { external_.UpdateNames(deleteFiles); }

std::vector<std::string> Logbook::Lines(int port) const {
  if (!IsPort(port)) return {};
  std::lock_guard lock(app_.GlobalApp.ListLock);
  return lists_[port].Lines();
}

void Logbook::Notify(int port) {
  if (changed) changed(port);
}

void Logbook::AddStartLines() {
  AddLine(kAllPorts, txt::kLogStarting);
  if (app_.AppInfo.UsedFallbackDir) {
    AddLine(kAllPorts,
            Format(txt::kProgramDirFallback, app_.AppInfo.ExePath, app_.AppInfo.ProgramDir));
  }
}

void Logbook::CloseForExit() {
  TakeOver(0, false, false);
  AddLine(kAllPorts, txt::kLogEnding);
  Save(0);
}

}  // namespace quillon
