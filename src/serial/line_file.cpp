#include "serial/line_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace quillon {
namespace {

bool WriteAll(int fd, const char* data, size_t length) {
  while (length > 0) {
    const ssize_t n = write(fd, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

// True when `name` names the open file `fd`, and that file has not lost its last name.
bool NamesOpenFile(const std::string& name, int fd) {
  struct stat own {
  }, named{};
  return fd >= 0 && fstat(fd, &own) == 0 && own.st_nlink > 0 && stat(name.c_str(), &named) == 0 &&
         own.st_dev == named.st_dev && own.st_ino == named.st_ino;
}

// The lock is taken on the file the name named at the open. A writer that replaces files by
// renaming a new one over them may have moved the name on meanwhile: then the file it names
// now is opened, so nothing is ever written into a file that has lost its name.
int OpenLocked(const std::string& name, int flags) {
  constexpr int kAttempts = 10;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const int fd = open(name.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      close(fd);
      errno = EWOULDBLOCK;
      return -1;
    }
    if (NamesOpenFile(name, fd)) return fd;
    close(fd);
  }
  errno = EWOULDBLOCK;
  return -1;
}

}  // namespace

TOrvFile32::TOrvFile32(const std::string& name, bool createNew) : fileName(name) {
  struct stat st {};
  const bool exists = stat(name.c_str(), &st) == 0;
  fd_ = OpenLocked(name, O_RDWR | O_CREAT);
  if (fd_ < 0) throw std::system_error(errno, std::generic_category(), name);
  if ((createNew || !exists) && ftruncate(fd_, 0) != 0) {
    const int saved = errno;
    close(fd_);
    fd_ = -1;
    throw std::system_error(saved, std::generic_category(), name);
  }
  sizeAtOpen = Size();
}

TOrvFile32::TOrvFile32(std::string name, int fd) : fileName(std::move(name)), fd_(fd) {}

std::unique_ptr<TOrvFile32> TOrvFile32::CreateUnique(const std::string& prefix, mode_t mode) {
  std::string name = prefix + "XXXXXX";
  const int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), name);
  if (fchmod(fd, mode) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int saved = errno;
    unlink(name.c_str());
    close(fd);
    throw std::system_error(saved, std::generic_category(), name);
  }
  return std::unique_ptr<TOrvFile32>(new TOrvFile32(std::move(name), fd));
}

TOrvFile32::~TOrvFile32() {
  if (fd_ < 0) return;
  WriteCollected();
  // Still locked: nobody else can be writing it. A name that went to another file stays.
  if (Size() == 0 && IsNamed(fileName)) unlink(fileName.c_str());
  close(fd_);
}

int64_t TOrvFile32::Size() const {
  struct stat st {};
  if (fd_ < 0 || fstat(fd_, &st) != 0) return -1;
  // Collected writes go to the end.
  return st.st_size + static_cast<int64_t>(collected_.size());
}

bool TOrvFile32::WriteCollected() {
  if (collected_.empty()) return true;
  const bool ok = fd_ >= 0 && WriteAll(fd_, collected_.data(), collected_.size());
  collected_.clear();
  if (!ok) ioError = true;
  return ok;
}

void TOrvFile32::DropReadBuffer() {
  if (len_ > pos_) lseek(fd_, -static_cast<off_t>(len_ - pos_), SEEK_CUR);
  pos_ = len_ = 0;
}

bool TOrvFile32::FillBuffer() {
  WriteCollected();
  pos_ = len_ = 0;
  for (;;) {
    const ssize_t n = read(fd_, buffer_, sizeof buffer_);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    len_ = static_cast<size_t>(n);
    return true;
  }
}

bool TOrvFile32::Eof() {
  if (fd_ < 0) return true;
  if (pos_ < len_) return false;
  WriteCollected();
  const off_t here = lseek(fd_, 0, SEEK_CUR);
  return here >= Size();
}

int64_t TOrvFile32::Seek(int64_t offset, int origin) {
  if (fd_ < 0) return -1;
  WriteCollected();
  DropReadBuffer();
  const int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
  return lseek(fd_, static_cast<off_t>(offset), whence);
}

void TOrvFile32::Write(const std::string& text) {
  if (fd_ < 0) {
    ioError = true;
    return;
  }
  DropReadBuffer();
  if (collecting_) {
    collected_ += text;
    ++linesWritten;
    constexpr size_t kCollectLimit = 65536;
    if (collected_.size() >= kCollectLimit) WriteCollected();
    return;
  }
  ioError = !WriteAll(fd_, text.data(), text.size());
  if (!ioError) ++linesWritten;
}

void TOrvFile32::WriteLn(const std::string& text) {
  const int before = linesWritten;
  Write(text + "\r\n");
  if (!ioError) linesWritten = before + 1;
}

std::string TOrvFile32::ReadLn() {
  std::string line;
  if (fd_ < 0) return line;
  for (;;) {
    if (pos_ == len_ && !FillBuffer()) return line;
    const char c = buffer_[pos_++];
    if (c == '\n') return line;
    if (c != '\r') line += c;
  }
}

bool TOrvFile32::ReadChar(char& c) {
  if (fd_ < 0 || (pos_ == len_ && !FillBuffer())) {
    ioError = true;
    return false;
  }
  c = buffer_[pos_++];
  ioError = false;
  return true;
}

bool TOrvFile32::ReadBlock(char* buffer, int maxCount, int& count) {
  count = 0;
  if (fd_ < 0) return false;
  while (count < maxCount) {
    if (pos_ == len_ && !FillBuffer()) break;
    const size_t take = std::min(len_ - pos_, static_cast<size_t>(maxCount - count));
    std::memcpy(buffer + count, buffer_ + pos_, take);
    pos_ += take;
    count += static_cast<int>(take);
  }
  buffer[count] = 0;
  return true;
}

bool TOrvFile32::AppendFrom(TOrvFile32& source) {
  if (fd_ < 0 || &source == this || !source.WriteCollected() || !WriteCollected()) return false;
  DropReadBuffer();
  // What the source holds now is copied, and nothing beyond: a source that is this very file
  // through another object would otherwise grow without end.
  const int64_t size = source.Size();
  bool ok = size >= 0 && lseek(fd_, 0, SEEK_END) >= 0;
  char buf[65536];
  for (int64_t at = 0; ok && at < size;) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(size - at, sizeof buf));
    const ssize_t n = pread(source.fd_, buf, want, static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0 && WriteAll(fd_, buf, static_cast<size_t>(n));
    at += n;
  }
  ioError = !ok;
  return ok;
}

bool TOrvFile32::IsNamed(const std::string& name) const { return NamesOpenFile(name, fd_); }

bool TOrvFile32::Unlink() {
  if (!IsNamed(fileName)) return true;
  return unlink(fileName.c_str()) == 0 || !IsNamed(fileName);
}

bool TOrvFile32::Flush() { return fd_ >= 0 && WriteCollected() && fsync(fd_) == 0; }

int64_t FileSizeOf(const std::string& name) {
  struct stat st {};
  if (stat(name.c_str(), &st) != 0) return -1;
  return st.st_size;
}

}  // namespace quillon
