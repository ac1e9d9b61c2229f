// Fuzz target: the block receiver reading whatever the line carries. The input is written into
// a pseudo-terminal and received with a time-out of "do not wait" until the line is empty.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "protocols/ack_nak.h"
#include "serial/result_codes.h"

namespace {

struct Line {
  int master = -1;
  quillon::TOrvAckNak port;
  Line() {
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) std::abort();
    termios tio {};
    tcgetattr(master, &tio);
    cfmakeraw(&tio);
    tcsetattr(master, TCSANOW, &tio);
    fcntl(master, F_SETFL, O_NONBLOCK);
    if (port.Open(name, 9600, 8, 0, 1) <= 0) std::abort();
    close(slave);
    port.SetTimeout(-1);
  }
  void Drain() {
    char buf[4096];
    while (read(master, buf, sizeof buf) > 0) {
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Line line;
  if (size > 3000) return 0;  // what a pseudo-terminal buffers at once
  line.port.Purge(1);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(line.master, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  char first = '1';
  for (int calls = 0; calls < 64; ++calls) {
    const int result = line.port.ReceiveBlock(first);
    first = '+';
    if (result == quillon::rc::kBlockReceived) {
      const int length = line.port.DataLength();
      if (length < 0 || length > 255) std::abort();
      continue;
    }
    if (result != quillon::rc::kEndOfTransfer) break;
    line.Drain();
  }
  line.Drain();
  return 0;
}
