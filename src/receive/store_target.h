#pragma once
// One file the store writes received data into (a target file or a local store file), written
// all or nothing.
//
// Owned by the receive thread of one port. The file is held with an exclusive lock while the
// object lives, so two ports never write the same file at once: the second is refused.
#include <string>

#include "serial/line_file.h"

namespace quillon {

class StoreTarget {
 public:
  // Opens `name` for appending (an existing file keeps its content) or for rewriting (created
  // or emptied). Throws std::system_error when the file cannot be written: no write permission
  // bit (read-only, also for root), a directory in its place, held by another writer, or the
  // same file as `source` (which rewriting would destroy).
  StoreTarget(const std::string& name, bool append, const std::string& source);

  // Copies all of `source` to the end of the file, makes it durable (fsync), then deletes
  // `source` when asked. On any failure the file gets back the length it had when opened, so
  // nothing half-written stays behind, and `source` is kept. A file left empty is deleted when
  // the object goes.
  [[nodiscard]] bool AppendWhole(const std::string& source, bool deleteSource);

 private:
  void Restore();

  std::string name_;
  TOrvFile32 file_;
  bool created_;
};

}  // namespace quillon
