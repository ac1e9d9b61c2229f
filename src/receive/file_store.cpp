#include "receive/file_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <set>
#include <system_error>

#include "common/file_io.h"
#include "common/ui_sink.h"
#include "common/format.h"
#include "common/paths.h"
#include "common/texts.h"
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
    : opt_(opt), localDir_(LocalStoreDir(programDir, port)), reporter_(reporter),
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
  const std::string full = given.find('/') == std::string::npos
                               ? DirectoryPart(opt_.FileName) + given
                               : AbsolutePath(given);
  return ExpandPlaceholders(full, opt_.FileMode == kModeSequential, opt_.SeqDigits, clock_());
}

std::unique_ptr<StoreTarget> FileStore::OpenByMode(std::string& name, const std::string& source,
                                                   bool appendAnyway) {
  if (opt_.FileMode == kModeAppend || appendAnyway) {
    return std::make_unique<StoreTarget>(name, true, source);
  }
  if (opt_.FileMode != kModeSequential) return std::make_unique<StoreTarget>(name, false, source);

  const std::string pattern = name;
  bool claimed = false;
  for (int attempt = 0; attempt < 100 && !claimed; ++attempt) {
    name = ResolveSequential(pattern, opt_.SeqDigits, opt_.FirstSeqNo);
    // A name we may not write is refused below, before anything is created.
    claimed = !DriveReady(name) || !IsWritablePath(name) || ClaimNewFile(name);
  }
  if (!claimed) throw std::system_error(EEXIST, std::generic_category(), name);
  try {
    return std::make_unique<StoreTarget>(name, false, source);
  } catch (...) {
    RemoveIfEmpty(name);
    throw;
  }
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

FileStore::TargetResult FileStore::WriteTarget(std::string name, const std::string& tempFile,
                                               bool deleteTemp, int recordCount,
                                               bool xyzWording, std::string& lastStoredFile) {
  try {
    if (!DriveReady(name)) {
      Say(Format(txt::kDriveNotReady, DriveOf(name)));
      return TargetResult::NotReady;
    }
    const std::string dir = DirectoryPart(name);
    if (!MakeDirectories(dir)) {
      Say(Format(txt::kCreateDirectoryFailed, dir));
      return TargetResult::Failed;
    }
    const auto target = OpenByMode(name, tempFile, false);
    const bool ok = !PathExists(tempFile) || target->AppendWhole(tempFile, deleteTemp);
    if (ok) {
      reporter_.SetFileName(name);
      ReportStored(name, recordCount, xyzWording);
    } else {
      Say(Format(txt::kStoreFileFailedLog, name), txt::kStoreFileFailed);
    }
    lastStoredFile = name;
    return ok ? TargetResult::Stored : TargetResult::Failed;
  } catch (const std::exception&) {
    Say(Format(txt::kDriveAccessError, DriveOf(name), kPlaceTarget));
    return TargetResult::Failed;
  }
}

bool FileStore::StoreFile(const std::string& tempFile, std::array<std::string, 3>& targetNames,
                          int recordCount, bool xyzWording, std::string& lastStoredFile,
                          const std::function<bool()>& sendFinalAck) {
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
    // The temporary file goes with the last target, so that every later one still gets it.
    const bool lastTarget = std::none_of(targetNames.begin() + static_cast<long>(i) + 1,
                                         targetNames.end(),
                                         [](const std::string& n) { return !n.empty(); });
    switch (WriteTarget(name, tempFile, lastTarget, recordCount, xyzWording, lastStoredFile)) {
      case TargetResult::Stored: ok = true; break;
      case TargetResult::Failed: ok = false; break;
      case TargetResult::NotReady: break;  // a later target after a stored one is only skipped
    }
    if (!ok) {
      if (keptLocally) {
        ok = true;
      } else {
        ok = keptLocally = StoreLocally(tempFile, lastTarget);
      }
    }
    targetNames[i].clear();
  }
  if (ok && keptLocally && PathExists(tempFile)) unlink(tempFile.c_str());

  if (ok && opt_.Protocol == 0 && sendFinalAck) ok = sendFinalAck();
  reporter_.SetLed(ok ? kLedReady : kLedError);
  return ok;
}

bool FileStore::StoreLocally(const std::string& tempFile, bool deleteTemp) {
  if (!PathExists(tempFile)) return true;
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
    // The fallback name may hold data of an earlier failure: it is appended to, never emptied.
    StoreTarget local(name, !number.has_value(), tempFile);
    if (!local.AppendWhole(tempFile, deleteTemp)) {
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

bool FileStore::RecoverLocalFiles() {
  const auto files = ListLocalFiles(localDir_);
  const std::string templateDir = DirectoryPart(opt_.FileName);
  if (!files) {
    Say(Format(txt::kDriveAccessError, DriveOf(templateDir), kPlaceRecovery));
    return false;
  }
  if (files->empty()) return true;
  if (!DriveReady(templateDir)) return false;

  // With the overwrite mode, a name already written in this pass is appended to, so that one
  // kept file never wipes out the one moved just before it.
  std::set<std::string> written;
  for (const std::string& local : *files) {
    std::string name = TemplateName();
    try {
      // The directory of the expanded name: placeholders in the directory part name the real one.
      if (!DriveReady(name) || !MakeDirectories(DirectoryPart(name))) return false;
      const bool moved = [&] {
        const auto target = OpenByMode(name, local, written.count(name) > 0);
        return target->AppendWhole(local, true);
      }();
      if (!moved) {
        Say(Format(txt::kLocalFileMoveFailed, local, name));
        return false;
      }
      written.insert(name);
      Say(Format(txt::kLocalFileMoved, local, name));
    } catch (const std::exception&) {
      Say(Format(txt::kDriveAccessError, DriveOf(templateDir), kPlaceRecovery));
      return false;
    }
  }
  return true;
}

}  // namespace quillon
