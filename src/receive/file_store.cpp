#include "receive/file_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <set>
#include <system_error>

#include "common/file_io.h"
#include "common/format.h"
#include "common/paths.h"
#include "common/texts.h"
#include "common/ui_sink.h"
#include "receive/drive_ready.h"
#include "receive/local_store.h"
#include "receive/placeholders.h"
#include "receive/sequential_name.h"
#include "receive/store_target.h"

namespace quillon {
namespace {

constexpr int kModeOverwrite = 0;
constexpr int kModeAppend = 1;
constexpr int kModeSequential = 2;

// Place numbers of the general access error.
constexpr int kPlaceRecovery = 1;
constexpr int kPlaceLocalStore = 3;
constexpr int kPlaceLocalNumber = 4;
constexpr int kPlaceTarget = 5;

// Creates `name` only if it does not exist yet, so that two ports numbering into the same
// directory never both take the same number. False when another writer was first.
bool ClaimNewFile(const std::string& name) {
  const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd >= 0) {
    close(fd);
    return true;
  }
  return errno != EEXIST;  // any other failure shows when the file is opened
}

void RemoveIfEmpty(const std::string& name) {
  struct stat st {};
  if (stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0) {
    unlink(name.c_str());
  }
}

}  // namespace

FileStore::FileStore(int port, const TQuillonOpt& opt, const std::string& programDir,
                     PortReporter& reporter)
    : opt_(opt),
      programDir_(WithTrailingSlash(programDir)),
      localDir_(LocalStoreDir(programDir, port)),
      reporter_(reporter),
      clock_(LocalTimeNow) {}

void FileStore::Say(const std::string& text) { reporter_.Report(true, 1, text, text); }

void FileStore::Say(const std::string& logText, const std::string& statusText) {
  reporter_.Report(true, 1, logText, statusText);
}

std::string FileStore::TemplateName() const {
  return ExpandPlaceholders(opt_.FileName, opt_.FileMode == kModeSequential, opt_.SeqDigits,
                            clock_());
}

std::string FileStore::NameFromData(const std::string& given) const {
  // A bare name lies beside the template's file; any other relative name in the program's
  // directory, never in whatever directory the process was started from.
  const std::string full = given.find('/') == std::string::npos
                               ? DirectoryPart(opt_.FileName) + given
                           : given[0] == '/' ? given
                                             : programDir_ + given;
  return ExpandPlaceholders(full, opt_.FileMode == kModeSequential, opt_.SeqDigits, clock_());
}

std::unique_ptr<StoreTarget> FileStore::OpenByMode(std::string& name, const TOrvFile32& source,
                                                   bool appendAnyway) {
  using Mode = StoreTarget::Mode;
  if (opt_.FileMode == kModeAppend || appendAnyway) {
    return std::make_unique<StoreTarget>(name, Mode::kAppend, source);
  }
  if (opt_.FileMode != kModeSequential) {
    return std::make_unique<StoreTarget>(name, Mode::kReplace, source);
  }

  const std::string pattern = name;
  bool claimed = false;
  for (int attempt = 0; attempt < 100 && !claimed; ++attempt) {
    name = ResolveSequential(pattern, opt_.SeqDigits, opt_.FirstSeqNo);
    if (IsProgramFile(name)) throw std::system_error(EACCES, std::generic_category(), name);
    // A name we may not write is refused below, before anything is created.
    claimed = !DriveReady(name) || !IsWritablePath(name) || ClaimNewFile(name);
  }
  if (!claimed) throw std::system_error(EEXIST, std::generic_category(), name);
  try {
    // The claimed file is new and empty: written directly, emptied again on failure.
    return std::make_unique<StoreTarget>(name, Mode::kAppend, source);
  } catch (...) {
    RemoveIfEmpty(name);
    throw;
  }
}

bool FileStore::IsProgramFile(const std::string& name) const {
  return isProgramFile_ && isProgramFile_(name);
}

void FileStore::ReportStored(const std::string& name, int recordCount, bool xyzWording) {
  if (opt_.LogLevel <= 0) return;
  const bool append = opt_.FileMode == kModeAppend;
  const std::string status = Format(txt::kFileStored, name);
  if (opt_.LogLevel == 1) {
    reporter_.Report(true, 1, Format(append ? txt::kDataAppended : txt::kDataSaved, name), status);
    return;
  }
  const bool one = recordCount == 1;
  const char* pattern = append       ? (one ? txt::kRecordAppended : txt::kRecordsAppended)
                        : xyzWording ? (one ? txt::kBlockSaved : txt::kBlocksSaved)
                                     : (one ? txt::kRecordSaved : txt::kRecordsSaved);
  reporter_.Report(true, 2, Format(pattern, recordCount, name), status);
}

FileStore::TargetResult FileStore::WriteTarget(std::string name, TOrvFile32& temp, int recordCount,
                                               bool xyzWording, std::string& storedIn) {
  try {
    if (!DriveReady(name)) {
      Say(Format(txt::kDriveNotReady, DriveOf(name)));
      return TargetResult::NotReady;
    }
    if (IsProgramFile(name)) {
      Say(Format(txt::kTargetIsProgramFile, name));
      return TargetResult::Failed;
    }
    const std::string dir = DirectoryPart(name);
    if (!MakeDirectories(dir)) {
      Say(Format(txt::kCreateDirectoryFailed, dir));
      return TargetResult::Failed;
    }
    if (!OpenByMode(name, temp, false)->StoreWhole(temp)) {
      Say(Format(txt::kStoreFileFailedLog, name), txt::kStoreFileFailed);
      return TargetResult::Failed;
    }
    reporter_.SetFileName(name);
    ReportStored(name, recordCount, xyzWording);
    storedIn = name;
    return TargetResult::Stored;
  } catch (const std::exception&) {
    Say(Format(txt::kDriveAccessError, DriveOf(name), kPlaceTarget));
    return TargetResult::Failed;
  }
}

bool FileStore::TempFileIntact(const TOrvFile32& temp) {
  if (temp.IsNamed(temp.fileName)) return true;
  // Deleted or replaced by somebody else during the transfer: what it holds is not what the
  // terminal sent for certain. The terminal keeps its data and sends it again.
  Say(Format(txt::kTempFileLost, temp.fileName));
  return false;
}

bool FileStore::StoreFile(TOrvFile32& temp, std::array<std::string, 3>& targetNames,
                          int recordCount, bool xyzWording, std::string& storedIn,
                          const std::function<bool()>& sendFinalAck) {
  storedIn.clear();
  bool ok = TempFileIntact(temp);
  if (ok && temp.Size() > 0) {
    ok = StoreInTargets(temp, targetNames, recordCount, xyzWording, storedIn);
  }
  targetNames = {};
  // Every target, or the local store, holds the data now.
  if (ok) (void)temp.Unlink();
  if (ok && opt_.Protocol == 0 && sendFinalAck) ok = sendFinalAck();
  reporter_.SetLed(ok ? kLedReady : kLedError);
  return ok;
}

bool FileStore::StoreInTargets(TOrvFile32& temp, std::array<std::string, 3>& targetNames,
                               int recordCount, bool xyzWording, std::string& storedIn) {
  bool ok = false;
  bool keptLocally = false;  // this transfer is in the local store already
  for (size_t i = 0; i < targetNames.size(); ++i) {
    std::string name;
    if (!targetNames[i].empty()) {
      name = NameFromData(targetNames[i]);
    } else if (i == 0) {
      name = TemplateName();
    } else {
      continue;
    }
    switch (WriteTarget(name, temp, recordCount, xyzWording, storedIn)) {
      case TargetResult::Stored:
        ok = true;
        break;
      case TargetResult::Failed:
        ok = false;
        break;
      case TargetResult::NotReady:
        break;  // a later target after a stored one is only skipped
    }
    if (!ok) {
      if (keptLocally) {
        ok = true;
      } else {
        ok = keptLocally = StoreLocally(temp);
      }
    }
  }
  return ok;
}

bool FileStore::StoreLocally(TOrvFile32& temp) {
  if (temp.Size() == 0) return true;
  if (!MakeDirectories(localDir_)) {
    Say(Format(txt::kCreateDirectoryFailed, localDir_));
    return false;
  }
  std::string name;
  try {
    const auto number = NextLocalFileNumber(localDir_);
    if (number) {
      name = localDir_ + LocalFileName(*number);
    } else {
      Say(Format(txt::kDriveAccessError, DriveOf(localDir_), kPlaceLocalNumber));
      name = localDir_ + txt::kLostFileName;
    }
    // A new number is a new file; the fallback name may hold data of an earlier failure: it
    // is appended to, never emptied.
    StoreTarget local(name, StoreTarget::Mode::kAppend, temp);
    if (!local.StoreWhole(temp)) {
      Say(Format(txt::kStoreFileFailedLog, name), Format(txt::kStoreLocallyFailed, name));
      return false;
    }
  } catch (const std::exception&) {
    Say(Format(txt::kDriveAccessError, DriveOf(localDir_), kPlaceLocalStore));
    return false;
  }
  Say(Format(txt::kStoredLocally, name));
  return true;
}

void FileStore::SayRecoveryFailure(const std::string& text) {
  if (text == recoveryFailure_) return;
  recoveryFailure_ = text;
  Say(text);
}

bool FileStore::MoveKeptFile(const std::string& local, std::string& name, bool appendAnyway) {
  // A kept file that another writer holds cannot be moved now; it waits for the next pass.
  std::unique_ptr<TOrvFile32> kept;
  try {
    kept = std::make_unique<TOrvFile32>(local, false);
  } catch (const std::system_error&) {
  }
  if (!kept || !OpenByMode(name, *kept, appendAnyway)->StoreWhole(*kept) || !kept->Unlink()) {
    SayRecoveryFailure(Format(txt::kLocalFileMoveFailed, local, name));
    return false;
  }
  return true;
}

bool FileStore::RecoverLocalFiles(const std::function<void(const std::string&)>& moved) {
  const auto files = ListLocalFiles(localDir_);
  const std::string templateDir = DirectoryPart(opt_.FileName);
  if (!files) {
    SayRecoveryFailure(Format(txt::kDriveAccessError, DriveOf(templateDir), kPlaceRecovery));
    return false;
  }
  if (files->empty()) {
    recoveryFailure_.clear();
    return true;
  }
  if (!DriveReady(templateDir)) return false;

  const bool programTakesEachFile = opt_.CallMode == 2 && moved;
  std::set<std::string> written;
  for (const std::string& local : *files) {
    std::string name = TemplateName();
    try {
      // The directory of the expanded name: placeholders in the directory part name the real one.
      if (!DriveReady(name) || !MakeDirectories(DirectoryPart(name))) return false;
      const bool appendAnyway = !programTakesEachFile && written.count(name) > 0;
      if (!MoveKeptFile(local, name, appendAnyway)) return false;
    } catch (const std::exception&) {
      SayRecoveryFailure(Format(txt::kDriveAccessError, DriveOf(templateDir), kPlaceRecovery));
      return false;
    }
    written.insert(name);
    recoveryFailure_.clear();
    Say(Format(txt::kLocalFileMoved, local, name));
    if (moved) moved(name);
  }
  return true;
}

}  // namespace quillon
