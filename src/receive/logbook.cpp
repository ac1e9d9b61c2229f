#include "receive/logbook.h"

#include <mutex>

#include "common/file_io.h"
#include "common/format.h"
#include "common/texts.h"
#include "receive/logbook_file.h"
#include "receive/logbook_line.h"

namespace quillon {

Logbook::Logbook(AppContext& app, PortStatusArray& status, UiSink& ui)
    : app_(app), status_(status), ui_(ui), external_(app, ui), files_(app.GlobalApp, ui) {}

void Logbook::Load() {
  // The external state comes first: a "new logbook" line written below already runs the day
  // check, which must start from the saved day slot.
  external_.ReadState();
  UpdateExternalNames(false);
  for (int port = 1; port <= kPortCount; ++port) LoadPort(port);
}

void Logbook::LoadPort(int port) {
  const std::string& path = app_.GlobalApp.PortLogFile[port];
  if (path.empty() || !PathExists(path)) return;

  // Only a regular file is read: a FIFO or device in its place would block the start, and a
  // link would lead the logbook to some other file.
  std::optional<std::string> bytes;
  if (IsRegularFileOrMissing(path)) bytes = ReadWholeFile(path);
  if (!bytes) {
    files_.LeaveAlone(port);  // the box below says it was not loaded: it is not written either
    {
      std::lock_guard lock(app_.GlobalApp.ListLock);
      lists_[port].Clear();
    }
    AddLine(port, txt::kLogbookCreated);
    ui_.ShowMessage(MessageKind::Error, Format(txt::kLogbookLoadFailed, path));
    return;
  }
  std::vector<std::string> kept;
  {
    std::lock_guard lock(app_.GlobalApp.ListLock);
    lists_[port].Assign(ParseLogbookFile(*bytes));
    kept = lists_[port].Lines();
  }
  // The lines appended from now on follow the file as the list has it: trimmed, in UTF-8 with
  // CR LF (an older Windows-1252 file would otherwise end up in two encodings).
  if (SerializeLogbookFile(kept) != *bytes) files_.Rewrite(port, kept);
}

void Logbook::Save(int port) {
  const int first = port < 1 ? 1 : port;
  const int last = port < 1 ? kPortCount : port;
  for (int n = first; n <= last && IsPort(n); ++n) {
    std::vector<std::string> lines = Lines(n);
    if (!lines.empty()) files_.Rewrite(n, lines);
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
    WriteToFile(port, line);
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
  for (const int n : ports) {
    WriteToFile(n, untagged);
    Distribute(n, FormatLogbookLine(n, text, now), now);
  }
  return true;
}

void Logbook::WriteToFile(int port, const std::string& line) {
  files_.Append(port, line);
  if (files_.RewriteDue(port)) files_.Rewrite(port, Lines(port));
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
