#pragma once
// FileStore: moves a finished reception from the port's temporary file to its target files,
// named from the `FileName` template (or by the terminal inside the data), and keeps it in the
// port's local store when no target can be written, until a later reception moves it on.
//
// Nothing is lost and nothing is half-written: a target either receives the whole transfer or
// is left as it was, every file is synced before success is reported, and the temporary file
// is deleted only after its data is safe. The data is read through the receive thread's own
// open temporary file: one whose name was taken away or given to another file meanwhile is not
// trusted, the transfer fails. The final acknowledgement to the terminal is sent only when the
// data is safe, so a failed store makes the terminal repeat the transfer.
//
// One FileStore belongs to the receive thread of one port and is used only on that thread. Its
// only state is the last failure of the recovery, so that a failure that stays is reported
// once; the local store directory and its files persist.
#include <array>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "config/settings_types.h"
#include "receive/port_reporter.h"
#include "receive/store_target.h"
#include "serial/line_file.h"

namespace quillon {

class FileStore {
 public:
  // `programDir` ends in '/' and holds the local store "Temp. Daten von COM<port>/". The
  // settings and the reporter must outlive the store.
  FileStore(int port, const TQuillonOpt& opt, const std::string& programDir,
            PortReporter& reporter);

  // Stores the temporary file `temp` (open, as the receive thread holds it) into the first
  // target (the terminal's first name, else the template) and into the second and third names
  // the terminal gave; each target that cannot be written sends the data to the local store
  // instead (once per transfer). An empty `temp` (no records) stores nothing and succeeds. The
  // name of `temp` is deleted once the data is safe. `targetNames` are cleared; `storedIn` is
  // the last target written, empty when the transfer is only in the local store or there was
  // nothing to store. When the data is safe and the port runs the block protocol,
  // `sendFinalAck` sends the acknowledgement of the end of the transfer; the result is then
  // whether it went out. Sets the LED to 0 on success, -1 on failure.
  [[nodiscard]] bool StoreFile(TOrvFile32& temp, std::array<std::string, 3>& targetNames,
                               int recordCount, bool xyzWording, std::string& storedIn,
                               const std::function<bool()>& sendFinalAck);

  // Copies `temp` into the next "Daten(nnnnn).dat" of the local store. True when `temp` is
  // empty (nothing to keep) or its data is safe.
  [[nodiscard]] bool StoreLocally(TOrvFile32& temp);

  // Moves the kept files, oldest first, to the `FileName` template; stops at the first failure
  // and leaves the rest for the next reception. True when the local store is empty afterwards.
  // `moved` is called with the target after each file, before the next one is moved. With the
  // overwrite mode a name already written in this pass is appended to, so that one kept file
  // never wipes out the one before, unless the port's program was started for each file and
  // waited for (call mode 2): it has taken the file then, the next one overwrites it.
  // A failure is reported once: the same failure again is silent until a file was moved, the
  // local store was emptied or another failure came.
  [[nodiscard]] bool RecoverLocalFiles(
      const std::function<void(const std::string& target)>& moved = {});

  [[nodiscard]] const std::string& LocalDir() const { return localDir_; }

  // The clock that fills the date and time placeholders (tests fix it).
  void SetClock(std::function<std::tm()> clock) { clock_ = std::move(clock); }
  // Tells the program's own files (settings, logbooks, temporary files, ...), which no target
  // may be, whatever name the terminal used for them: such a target counts as not writable.
  void SetProgramFileCheck(std::function<bool(const std::string&)> check) {
    isProgramFile_ = std::move(check);
  }

 private:
  enum class TargetResult { Stored, Failed, NotReady };

  // The transfer is still in the file the thread wrote it to, under the name it was written.
  bool TempFileIntact(const TOrvFile32& temp);
  bool StoreInTargets(TOrvFile32& temp, std::array<std::string, 3>& targetNames, int recordCount,
                      bool xyzWording, std::string& storedIn);
  TargetResult WriteTarget(std::string name, TOrvFile32& temp, int recordCount, bool xyzWording,
                           std::string& storedIn);
  // Opens `name` by the file mode; in the sequential mode `name` becomes the number it got.
  std::unique_ptr<StoreTarget> OpenByMode(std::string& name, const TOrvFile32& source,
                                          bool appendAnyway);
  // Moves one kept file; false (reported) when it could not be moved.
  bool MoveKeptFile(const std::string& local, std::string& name, bool appendAnyway);
  void SayRecoveryFailure(const std::string& text);
  std::string TemplateName() const;
  bool IsProgramFile(const std::string& name) const;
  std::string NameFromData(const std::string& given) const;
  void ReportStored(const std::string& name, int recordCount, bool xyzWording);
  void Say(const std::string& text);
  void Say(const std::string& logText, const std::string& statusText);

  const TQuillonOpt& opt_;
  std::string programDir_;
  std::string localDir_;
  PortReporter& reporter_;
  std::function<std::tm()> clock_;
  std::function<bool(const std::string&)> isProgramFile_;
  std::string recoveryFailure_;  // the last failure of the recovery reported, until it changes
};

}  // namespace quillon
