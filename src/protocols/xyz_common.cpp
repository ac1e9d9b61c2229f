#include "protocols/xyz_common.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace quillon::xyz {
namespace {

constexpr std::array<uint32_t, 256> MakeCrc32Table() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

constexpr std::array<uint16_t, 256> MakeCrc16Table() {
  std::array<uint16_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint16_t c = static_cast<uint16_t>(n << 8);
    for (int k = 0; k < 8; ++k)
      c = (c & 0x8000) ? static_cast<uint16_t>((c << 1) ^ 0x1021) : static_cast<uint16_t>(c << 1);
    table[n] = c;
  }
  return table;
}

constexpr auto kCrc32Table = MakeCrc32Table();
constexpr auto kCrc16Table = MakeCrc16Table();

}  // namespace

int FdLine::Read(uint8_t* buffer, int max, int timeoutMs) {
  for (;;) {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    const int n = poll(fds, wakeFd_ >= 0 ? 2 : 1, timeoutMs);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) return 0;
    if (wakeFd_ >= 0 && (fds[1].revents & POLLIN)) return -1;
    if (fds[0].revents & POLLIN) {
      const ssize_t got = read(fd_, buffer, static_cast<size_t>(max));
      if (got > 0) return static_cast<int>(got);
      if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      return -1;
    }
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return -1;
  }
}

bool FdLine::Write(const uint8_t* bytes, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = write(fd_, bytes + done, count - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      // A non-blocking line whose output queue is full: wait until it takes more.
      pollfd out{fd_, POLLOUT, 0};
      if (poll(&out, 1, 10000) <= 0 || (out.revents & (POLLHUP | POLLERR | POLLNVAL))) return false;
      continue;
    }
    return false;
  }
  return true;
}

void FdLine::DropInput() { (void)tcflush(fd_, TCIFLUSH); }

int ByteReader::Get(int timeoutMs) {
  if (pos_ < len_) return buffer_[pos_++];
  const int n = line_.Read(buffer_, static_cast<int>(sizeof buffer_), timeoutMs);
  if (n == 0) return kNoByte;
  if (n < 0) return kLineGone;
  pos_ = 1;
  len_ = n;
  return buffer_[0];
}

void ByteReader::DropInput() {
  pos_ = len_ = 0;
  line_.DropInput();
}

uint16_t Crc16(const uint8_t* data, size_t count, uint16_t crc) {
  for (size_t i = 0; i < count; ++i) {
    crc = static_cast<uint16_t>((crc << 8) ^ kCrc16Table[((crc >> 8) ^ data[i]) & 0xFF]);
  }
  return crc;
}

uint32_t Crc32Update(const uint8_t* data, size_t count, uint32_t crc) {
  for (size_t i = 0; i < count; ++i) crc = kCrc32Table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

std::string SenderFileName(std::string_view given) {
  const size_t cut = given.find_last_of("/\\");
  if (cut != std::string_view::npos) given.remove_prefix(cut + 1);
  if (given.empty() || given == "." || given == "..") return {};
  for (const char c : given) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return {};
  }
  return std::string(given);
}

}  // namespace quillon::xyz
