#pragma once
// One file the store writes received data into (a target file or a local store file), written
// all or nothing.
//
// Owned by the receive thread of one port. The file is held with an exclusive lock while the
// object lives, so two ports never write the same file at once: the second is refused.
#include <memory>
#include <string>

#include "serial/line_file.h"

namespace quillon {

class StoreTarget {
 public:
  enum class Mode {
    kAppend,   // the data goes to the end; an existing file keeps its content
    kReplace,  // the data takes the place of the file's content
  };

  // Opens `name` (a symbolic link stands for the file it points to), creating it when it is
  // missing. Throws std::system_error when the file cannot be written: no write permission bit
  // (read-only, also for root), a directory in its place, held by another writer, or the very
  // file `source` is.
  StoreTarget(const std::string& name, Mode mode, const TOrvFile32& source);

  // Stores all of `source` and makes it durable (fsync, and the directory when a name came or
  // changed). Appending: on any failure the file gets back the length it had when opened.
  // Replacing: the data goes into a new file beside it, which is renamed over it only once it
  // is synced; on any failure the new file is removed and the old content stays as it was.
  // An empty source stores nothing and leaves the file as it is. A file left empty is deleted
  // when the object goes.
  [[nodiscard]] bool StoreWhole(TOrvFile32& source);

 private:
  bool Append(TOrvFile32& source);
  bool Replace(TOrvFile32& source);
  void Restore();

  std::string name_;
  Mode mode_;
  TOrvFile32 file_;
  bool created_;
};

}  // namespace quillon
