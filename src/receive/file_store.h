#pragma once
// FileStore: moves a finished reception from the port's temporary file to its target files,
// named from the `FileName` template (or by the terminal inside the data), and keeps it in the
// port's local store when no target can be written, until a later reception moves it on.
//
// Nothing is lost and nothing is half-written: a target either receives the whole transfer or
// is left as it was, every file is synced before success is reported, and the temporary file
// is deleted only after its data is safe. The final acknowledgement to the terminal is sent
// only then, so a failed store makes the terminal repeat the transfer.
//
// One FileStore belongs to the receive thread of one port and is used only on that thread. It
// keeps no state between calls; the local store directory and its files persist.
#include <array>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "config/settings_types.h"
#include "receive/port_reporter.h"

namespace quillon {

class StoreTarget;

class FileStore {
 public:
  // `programDir` ends in '/' and holds the local store "Temp. Daten von COM<port>/". The
  // settings and the reporter must outlive the store.
  FileStore(int port, const TQuillonOpt& opt, const std::string& programDir,
            PortReporter& reporter);

  // Stores `tempFile` into the first target (the terminal's first name, else the template) and
  // into the second and third names the terminal gave; each target that cannot be written sends
  // the data to the local store instead (once per transfer). `targetNames` are cleared,
  // `lastStoredFile` is the last target tried. When the data is safe and the port runs the
  // block protocol, `sendFinalAck` sends the acknowledgement of the end of the transfer; the
  // result is then whether it went out. Sets the LED to 0 on success, -1 on failure.
  [[nodiscard]] bool StoreFile(const std::string& tempFile,
                               std::array<std::string, 3>& targetNames, int recordCount,
                               bool xyzWording, std::string& lastStoredFile,
                               const std::function<bool()>& sendFinalAck);

  // Copies `tempFile` into the next "Daten(nnnnn).dat" of the local store, deleting it when
  // asked. True when the file is missing (nothing to keep) or its data is safe.
  [[nodiscard]] bool StoreLocally(const std::string& tempFile, bool deleteTemp = true);

  // Moves the kept files, oldest first, to the `FileName` template; stops at the first failure
  // and leaves the rest for the next reception. True when the local store is empty afterwards.
  [[nodiscard]] bool RecoverLocalFiles();

  [[nodiscard]] const std::string& LocalDir() const { return localDir_; }

  // The clock that fills the date and time placeholders (tests fix it).
  void SetClock(std::function<std::tm()> clock) { clock_ = std::move(clock); }

 private:
  enum class TargetResult { Stored, Failed, NotReady };

  TargetResult WriteTarget(std::string name, const std::string& tempFile, bool deleteTemp,
                           int recordCount, bool xyzWording, std::string& lastStoredFile);
  // Opens `name` by the file mode; in the sequential mode `name` becomes the number it got.
  std::unique_ptr<StoreTarget> OpenByMode(std::string& name, const std::string& source,
                                          bool appendAnyway);
  std::string TemplateName() const;
  std::string NameFromData(const std::string& given) const;
  void ReportStored(const std::string& name, int recordCount, bool xyzWording);
  void Say(const std::string& text);
  void Say(const std::string& logText, const std::string& statusText);

  const TQuillonOpt& opt_;
  std::string localDir_;
  PortReporter& reporter_;
  std::function<std::tm()> clock_;
};

}  // namespace quillon
