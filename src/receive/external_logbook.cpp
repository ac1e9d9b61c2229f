#include "receive/external_logbook.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "common/format.h"
#include "common/texts.h"
#include "config/settings_store.h"
#include "receive/logbook_append.h"

namespace quillon {
namespace {

constexpr const char* kFileNamePattern = "%sCOM%d_Logbuch%d.txt";

CivilDate LocalDate(std::time_t when) {
  std::tm tm{};
  localtime_r(&when, &tm);
  return CivilDate{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

std::string WithSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

// A file that cannot be deleted is emptied, so that a reused slot never mixes two days.
void DeleteOrEmpty(const std::string& path) {
  if (unlink(path.c_str()) == 0 || errno == ENOENT) return;
  const int fd =
      open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
  if (fd >= 0) close(fd);
}

}  // namespace

std::string ExternalLogbookFileName(const std::string& dir, int port, int slot) {
  return Format(kFileNamePattern, WithSlash(dir), port, slot);
}

void ExternalLogbook::ReadState() {
  const LastExtLog last = SettingsStore(app_, ui_).ReadLastExtLog();
  app_.GlobalApp.ExtLogIndex = last.Index;
  app_.GlobalApp.ExtLogDate = last.Date;
}

std::string ExternalLogbook::Directory() const {
  // An empty directory would mean whatever the current directory happens to be.
  const std::string& dir = app_.GlobalApp.ExtLogDir;
  return dir.empty() ? app_.AppInfo.ProgramDir : dir;
}

void ExternalLogbook::UpdateNames(bool deleteFiles) {
  const TGlobalApp& global = app_.GlobalApp;
  const bool inUse = global.ExtLogDays >= 1 && global.ExtLogIndex >= 1;
  for (int port = 1; port <= kPortCount; ++port) {
    std::string name;
    if (inUse) {
      name = ExternalLogbookFileName(Directory(), port, global.ExtLogIndex);
      if (deleteFiles) DeleteOrEmpty(name);
    }
    app_.PortSettings[port].ExtLogFile = std::move(name);
  }
  reportedFailures_.clear();
}

void ExternalLogbook::CheckDay(std::time_t now) {
  TGlobalApp& global = app_.GlobalApp;
  const CivilDate today = LocalDate(now);
  if (today == global.ExtLogDate) return;
  if (global.ExtLogIndex >= 1 && global.ExtLogIndex <= global.ExtLogDays - 1) {
    ++global.ExtLogIndex;
  } else {
    global.ExtLogIndex = global.ExtLogDays < 1 ? -1 : 1;
  }
  if (global.ExtLogIndex < 1) {
    UpdateNames(false);  // external logbook switched off: no file names left over
    return;
  }
  global.ExtLogDate = today;
  if (!SettingsStore(app_, ui_).WriteLastExtLog(global.ExtLogIndex, today)) {
    // Without the saved slot a restart today would take the next slot and delete its files.
    ui_.ShowMessage(MessageKind::Error, Format(txt::kSettingsWriteFailed, app_.AppInfo.IniPath));
  }
  UpdateNames(true);
}

void ExternalLogbook::Append(int port, const std::string& line, std::time_t now) {
  if (port < 1 || port > kPortCount) return;
  CheckDay(now);
  const std::string& file = app_.PortSettings[port].ExtLogFile;
  if (file.empty()) return;
  if (AppendToRegularFile(file, line + "\r\n")) {
    reportedFailures_.erase(file);
  } else if (reportedFailures_.insert(file).second) {
    ui_.ShowMessage(MessageKind::Error, Format(txt::kExtLogWriteFailed, file));
  }
}

}  // namespace quillon
