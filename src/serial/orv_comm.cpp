#include "serial/orv_comm.h"

#include <algorithm>
#include <cstring>

#include "common/clock.h"
#include "serial/com_remap.h"
#include "serial/result_codes.h"
#include "serial/serial_device_list.h"

namespace quillon {
namespace {

// Longest a single write may be held up by a stalled line before it counts as failed.
constexpr int kWriteStallMs = 15000;

// A pseudo-terminal hands written bytes to the other side at once: its output queue is always
// empty, and asking the driver after every written answer would only cost a system call on the
// way back to the next read.
bool IsPseudoTerminal(const std::string& devicePath) {
  return devicePath.rfind("/dev/pts/", 0) == 0;
}

}  // namespace

TOrvComm::TOrvComm(const ShutdownState* owner) : owner_(owner) {
  for (const std::string& device : SystemSerialDevices()) availablePorts_.push_back(device + ":");
}

TOrvComm::~TOrvComm() { device_.Close(); }

int TOrvComm::InterruptCode() const {
  if (abort_.IsSet()) return rc::kAborted;
  if (ShuttingDown() || !device_.IsOpen()) return rc::kShutdown;
  return rc::kOk;
}

void TOrvComm::SetAbortRequested(bool value) {
  if (value) {
    abort_.Set();
  } else {
    abort_.Clear();
  }
}

int TOrvComm::Open(const std::string& portName, int baud, int dataBits, int parity, int stopBits) {
  if (device_.IsOpen()) return Fail(rc::kAlreadyOpen);
  devicePath_ = DevicePathForPort(ComRemapDirectory(), portName);
  if (!device_.Open(devicePath_)) return Fail(rc::kOpenFailed);
  portNumber_ = PortNumberOf(portName);
  params_ = {baud, dataBits, parity, stopBits};
  if (!device_.Configure(params_)) {
    device_.Close();
    openedName_.clear();
    return Fail(rc::kSetParamsOnOpenFailed);
  }
  portName_ = portName;
  charDelay_ = 0;
  timeout_ = -1;
  lastActivity = 0;
  Purge(1);
  Purge(0);
  SetLastError(rc::kOk);
  openedName_ = portName;
  return device_.fd();
}

int TOrvComm::Reopen() {
  const int timeout = timeout_;
  const int charDelay = charDelay_;
  const int result =
      Open(portName_, params_.baud, params_.dataBits, params_.parity, params_.stopBits);
  if (result > 0) {
    timeout_ = timeout;
    charDelay_ = charDelay;
  }
  return result;
}

int TOrvComm::Close() {
  if (!device_.IsOpen()) return Fail(rc::kNotOpen);
  lastActivity = 0;
  if (!device_.Close()) return Fail(rc::kCloseFailed);
  openedName_.clear();
  return Fail(rc::kOk);
}

int TOrvComm::TestPort(const std::string& portName) {
  if (RemapEntry(ComRemapDirectory(), portName)) return Fail(rc::kOk);
  const bool wasOpen = device_.IsOpen();
  const std::string savedName = portName_;
  const LineParams saved = params_;
  const int timeout = timeout_;
  const int charDelay = charDelay_;
  if (wasOpen) device_.Close();
  SerialDevice probe;
  const bool ok = probe.Open(DevicePathForPort(ComRemapDirectory(), portName)) &&
                  probe.Configure(LineParams{9600, 8, 0, 1});
  probe.Close();
  if (wasOpen && device_.Open(devicePath_) && device_.Configure(saved)) {
    portName_ = savedName;
    params_ = saved;
    timeout_ = timeout;
    charDelay_ = charDelay;
  }
  return Fail(ok ? rc::kOk : rc::kTestFailed);
}

int TOrvComm::SetParams(int baud, int dataBits, int parity, int stopBits) {
  if (!device_.IsOpen()) return Fail(rc::kNotOpen);
  const LineParams wanted{baud, dataBits, parity, stopBits};
  if (!device_.Configure(wanted)) {
    device_.Configure(params_);  // the line keeps its old settings
    return Fail(rc::kSetParamsFailed);
  }
  params_ = wanted;
  return Fail(rc::kOk);
}

int TOrvComm::SetBaud(int baud) {
  return SetParams(baud, params_.dataBits, params_.parity, params_.stopBits);
}

int TOrvComm::GetBaud() const { return device_.IsOpen() ? params_.baud : -1; }

int TOrvComm::SetTimeout(int ms) {
  if (!device_.IsOpen() || ms < -1) return Fail(rc::kNotOpen);
  timeout_ = ms;
  return Fail(rc::kOk);
}

int TOrvComm::GetTimeout() const { return device_.IsOpen() ? timeout_ : -1; }

int TOrvComm::SetCharDelay(int ms) {
  if (!device_.IsOpen()) return Fail(rc::kNotOpen);
  if (ms >= 0) charDelay_ = ms;
  return Fail(rc::kOk);
}

int TOrvComm::GetCharDelay() const { return device_.IsOpen() ? charDelay_ : -1; }

int TOrvComm::Purge(int queue) {
  if (!device_.IsOpen()) return Fail(rc::kNotOpen);
  if (queue == 0) return rc::kOk;
  if (queue != 1) return Fail(rc::kNoQueue);
  device_.DiscardInput();
  return device_.TakeLineError() ? Fail(rc::kPurgeRxFailed) : rc::kOk;
}

int TOrvComm::ReadUntilOneOf(std::string_view wanted, int timeoutMs, uint8_t& c) {
  const int saved = timeout_;
  timeout_ = timeoutMs;
  int result = 0;
  do {
    result = ReadChar(c);
  } while (result == 1 && wanted.find(static_cast<char>(c)) == std::string_view::npos);
  timeout_ = saved;
  return result;
}

int TOrvComm::ReadChar(uint8_t& c) {
  c = 0;
  if (!device_.IsOpen()) return Fail(rc::kNotOpen);
  // A character already in the buffer is served without looking at the clock: a block is read
  // character by character, and the clock is only needed when the read has to wait.
  if (device_.TakeByte(c)) {
    rxRemaining = static_cast<uint16_t>(std::min<size_t>(device_.Buffered(), 0xFFFF));
    SetLastError(rc::kOk);
    return 1;
  }
  const uint64_t start = Clock();
  lastActivity = start;
  bool waited = false;
  for (;;) {
    if (device_.TakeByte(c)) {
      rxRemaining = static_cast<uint16_t>(std::min<size_t>(device_.Buffered(), 0xFFFF));
      SetLastError(rc::kOk);
      return 1;
    }
    // With an empty buffer a waiting read asks poll() first: the answer to what we just sent is
    // usually not there yet, and a read that finds nothing would only cost a system call.
    if (timeout_ != -1 && !waited) {
      int waitMs = -1;
      if (timeout_ > 0) {
        const uint64_t now = Clock();
        if (now >= start + static_cast<uint64_t>(timeout_)) return Fail(rc::kTimeout);
        waitMs = static_cast<int>(start + static_cast<uint64_t>(timeout_) - now);
      }
      if (const int code = InterruptCode()) return Fail(code);
      device_.WaitReadable(waitMs, abort_.fd(), ShutdownFd());
      waited = true;
    }
    const int got = device_.Fill();
    if (got > 0) {
      waited = false;
      if (device_.TakeLineError()) return Fail(rc::kReadFailed);
      continue;
    }
    if (got < 0) {
      // The line is gone (device unplugged, the other end of a pseudo-terminal closed).
      PostError(portNumber_, rc::kPortBroken);
      return Fail(rc::kPortBroken);
    }
    rxRemaining = 0;
    waited = false;
    if (timeout_ == -1) return Fail(rc::kTimeout);
    if (timeout_ > 0 && Clock() >= start + static_cast<uint64_t>(timeout_)) {
      return Fail(rc::kTimeout);
    }
    if (const int code = InterruptCode()) return Fail(code);
  }
}

int TOrvComm::Gets(char* buffer, int maxCount, int terminator) {
  if (!device_.IsOpen()) return Fail(rc::kNotOpen);
  buffer[0] = 0;
  if (maxCount < 1) return Fail(rc::kBadLength);
  int count = 0;
  for (;;) {
    uint8_t c = 0;
    const int r = ReadChar(c);
    if (r != 1) {
      if (count > 0 && terminator < 0) SetLastError(rc::kOk);
      return count;
    }
    if (terminator >= 0 && c == static_cast<uint8_t>(terminator) && terminator <= 255) {
      SetLastError(rc::kOk);
      if (keepTerminator) {
        buffer[count] = static_cast<char>(c);
        buffer[count + 1] = 0;
      }
      return count + 1;
    }
    buffer[count++] = static_cast<char>(c);
    buffer[count] = 0;
    if (count >= maxCount) {
      SetLastError(rc::kNoTerminator);
      return count;
    }
  }
}

int TOrvComm::ReadBlock(char* buffer, int count) {
  const int n = Gets(buffer, count, -1);
  if (GetLastError() == rc::kNoTerminator) SetLastError(rc::kOk);
  return n;
}

int TOrvComm::WriteChar(uint8_t c) {
  if (!device_.IsOpen()) return Fail(rc::kNotOpen);
  if (lastActivity == 0) lastActivity = Clock();
  if (charDelay_ > 0) {
    const uint64_t due = lastActivity + static_cast<uint64_t>(charDelay_);
    const uint64_t now = Clock();
    if (now < due) Delay(static_cast<int>(due - now));
  }
  int result = rc::kOk;
  const uint64_t start = Clock();
  for (;;) {
    const long n = device_.Write(&c, 1);
    if (n == 1) break;
    if (n < 0 || Clock() >= start + kWriteStallMs) {
      result = rc::kWriteCharFailed;
      break;
    }
    if (const int code = InterruptCode()) {
      result = code;
      break;
    }
    device_.WaitWritable(static_cast<int>(start + kWriteStallMs - Clock()), abort_.fd(),
                         ShutdownFd());
  }
  if (result == rc::kOk && device_.TakeLineError()) result = rc::kWriteCharFailed;
  if (result == rc::kOk) {
    rxRemaining = static_cast<uint16_t>(std::min<size_t>(device_.Buffered(), 0xFFFF));
    if (waitTxEmpty) result = WaitTxEmpty();
  }
  lastActivity = Clock();
  return Fail(result);
}

int TOrvComm::WriteBlock(const uint8_t* buffer, int length) {
  if (!device_.IsOpen()) return Fail(rc::kNotOpen);
  if (charDelay_ != 0) {
    lastActivity = 0;
    int result = rc::kOk;
    for (int i = 0; i < length; ++i) {
      result = WriteChar(buffer[i]);
      if (result != rc::kOk) break;
      if (ShuttingDown() || !device_.IsOpen()) return Fail(rc::kShutdown);
    }
    return Fail(result);
  }
  size_t done = 0;
  const uint64_t start = Clock();
  while (done < static_cast<size_t>(length)) {
    const long n = device_.Write(buffer + done, static_cast<size_t>(length) - done);
    if (n < 0) return Fail(rc::kWriteBlockFailed);
    done += static_cast<size_t>(n);
    if (done == static_cast<size_t>(length)) break;
    // A full output queue: wait for room rather than report a short write.
    if (Clock() >= start + kWriteStallMs) return Fail(rc::kWriteBlockFailed);
    if (const int code = InterruptCode()) return Fail(code);
    device_.WaitWritable(static_cast<int>(start + kWriteStallMs - Clock()), abort_.fd(),
                         ShutdownFd());
  }
  lastActivity = Clock();
  if (device_.TakeLineError()) return Fail(rc::kWriteBlockFailed);
  return Fail(waitTxEmpty ? WaitTxEmpty() : rc::kOk);
}

int TOrvComm::WriteString(const std::string& text) {
  return WriteBlock(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(text.size()));
}

int TOrvComm::WaitTxEmpty() {
  for (;;) {
    if (!device_.IsOpen() || ShuttingDown()) return rc::kShutdown;
    if (IsPseudoTerminal(devicePath_)) return rc::kOk;
    const int pending = device_.OutputCount();
    if (pending == 0) return rc::kOk;
    if (abort_.IsSet()) return rc::kAborted;
    // Sleep about as long as the line needs for what is queued (10 bits a character), so
    // the wait costs nothing while the bytes go out.
    const int baud = std::max(params_.baud, 300);
    const int ms = std::clamp(pending * 10000 / baud, 1, 100);
    SleepUnlessWoken(ms, abort_.fd(), ShutdownFd());
  }
}

int TOrvComm::WaitRxEvent() {
  if (!device_.IsOpen()) return Fail(rc::kNotOpen);
  if (device_.Buffered() > 0) return rc::kOk;
  const auto w = device_.WaitReadable(-1, abort_.fd(), ShutdownFd());
  return w == SerialDevice::Wait::Ready ? rc::kOk : InterruptCode();
}

std::string TOrvComm::ErrorText() const { return ErrorTextOf(GetLastError()); }

void TOrvComm::PostError(int portNumber, int code) {
  if (errorTarget) errorTarget(portNumber, code);
}

void TOrvComm::Log(const std::string& text) {
  if (logTarget) logTarget(text);
}

}  // namespace quillon
