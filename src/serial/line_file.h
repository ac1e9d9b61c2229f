#pragma once
// TOrvFile32: a file read as text lines or raw blocks and written line by line; used for files
// to send and for received data.
//
// The file is held with an exclusive lock (flock) while the object lives; a second holder is
// refused, as is any other writer using the same lock. A file that is empty when the object is
// freed is deleted, if its name still names it. Opening failures throw std::system_error.
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

namespace quillon {

class TOrvFile32 {
 public:
  // createNew, or a file that does not exist: a new empty file (an existing one is emptied only
  // once the lock is held, so a file in use is never destroyed).
  TOrvFile32(const std::string& fileName, bool createNew);
  // A new file that did not exist before (O_EXCL), named `prefix` + six characters of its own,
  // with the permissions `mode`. Throws std::system_error.
  static std::unique_ptr<TOrvFile32> CreateUnique(const std::string& prefix, mode_t mode);
  ~TOrvFile32();
  TOrvFile32(const TOrvFile32&) = delete;
  TOrvFile32& operator=(const TOrvFile32&) = delete;

  bool Eof();
  // origin 0 = from start, 1 = from the current position, 2 = from the end. The new position,
  // or -1.
  int64_t Seek(int64_t offset, int origin);
  void Write(const std::string& text);
  void WriteLn(const std::string& text);  // text + CR LF, counted as one line
  // Bytes up to LF (every CR dropped); the LF is not part of the result.
  std::string ReadLn();
  bool ReadChar(char& c);
  // Up to maxCount bytes into `buffer` (maxCount + 1 bytes, NUL written behind the data).
  bool ReadBlock(char* buffer, int maxCount, int& count);
  // Copies the whole content of `source` to the end of this file, read through its own open
  // descriptor from its start (whatever was read of it before, and whatever its name names now).
  [[nodiscard]] bool AppendFrom(TOrvFile32& source);
  // True while `name` names this very file (and the file still has a name at all).
  [[nodiscard]] bool IsNamed(const std::string& name) const;
  // Takes the file's name away while it stays open; a name that meanwhile names another file is
  // left alone. True when our file has no name afterwards.
  [[nodiscard]] bool Unlink();
  int64_t Size() const;
  // Writes buffered data to the disk (fsync); false when that fails.
  bool Flush();

  // From now on writes are collected and reach the file at 64 KiB, at Flush() and whenever the
  // file is read, sought, appended to, measured or closed; a failed write shows in ioError then.
  // For a file that is only ever appended to and whose content counts once it is flushed (the
  // receive thread's temporary file): one system call per block less on the way to its ACK.
  void CollectWrites() { collecting_ = true; }

  int64_t sizeAtOpen = 0;
  std::string fileName;
  bool ioError = false;
  int linesWritten = 0;

 private:
  TOrvFile32(std::string fileName, int fd);
  bool FillBuffer();
  void DropReadBuffer();
  // Writes what was collected; false (and ioError) when that fails.
  bool WriteCollected();

  int fd_ = -1;
  char buffer_[8192] = {};
  size_t pos_ = 0;
  size_t len_ = 0;
  bool collecting_ = false;
  std::string collected_;
};

// Size in bytes from the directory entry, or -1 when the file is not found.
int64_t FileSizeOf(const std::string& fileName);

}  // namespace quillon
