#include "session.h"

#include <poll.h>

#include "stop.h"

namespace sim {

bool Session::Answer(char c) {
  const Io io = line.Write(std::string_view(&c, 1), options.ackTimeoutMs + 1000);
  return io == Io::kOk || Fail("Antwort kann nicht gesendet werden: " + Describe(io));
}

bool Session::Pause(int ms) {
  if (ms > 0 && !StopRequested()) {
    const timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    ppoll(nullptr, 0, &ts, WaitMask());
  }
  return !StopRequested() || Fail(Describe(Io::kStopped));
}

}  // namespace sim
