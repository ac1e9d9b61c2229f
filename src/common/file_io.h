#pragma once
// Whole-file reads, crash-safe whole-file writes, and whether a name is taken.
#include <cstddef>
#include <optional>
#include <string>

namespace quillon {

// The most ReadWholeFile reads unless told otherwise: far more than any settings, option or
// logbook file holds, far less than a runaway read could take.
inline constexpr size_t kMaxWholeFileBytes = size_t{16} << 20;

// The whole content of a regular file (symbolic links followed), or nothing with errno set:
// ENOENT when it is missing, ELOOP for a loop of links, EINVAL when it is not a regular file
// (a FIFO, a device, a directory: these are never opened for reading or read), EFBIG when it
// holds more than `maxBytes` (checked while reading, as files in /proc claim a size of 0).
std::optional<std::string> ReadWholeFile(const std::string& path,
                                         size_t maxBytes = kMaxWholeFileBytes);

// Replaces the file with `bytes` so that a crash or a full disk leaves either the old or the new
// content: write a temporary file beside it, fsync, rename over the old one, fsync the
// directory. A symbolic link is followed, the file's permissions are kept. A file without any
// write permission bit counts as read-only and is refused (EACCES), also for root, as is a
// directory without write permission bits for a new file. A name that is something other than a
// regular file (a FIFO, a device, a directory) is refused (EINVAL), as is a loop of symbolic
// links (ELOOP): neither is ever replaced by a file. When the directory refuses the temporary
// file but the file itself is writable, the file is rewritten in place.
// False with errno set on failure; the old content is then unchanged (in-place case aside).
[[nodiscard]] bool WriteFileAtomically(const std::string& path, const std::string& bytes);

// True when writing to `path` would be allowed by the rule above.
bool IsWritablePath(const std::string& path);

// True when something of that name exists, a symbolic link counting as itself (a dangling link
// is a name that is taken, not a free one).
bool PathExists(const std::string& path);

}  // namespace quillon
