#include "protocols/dl.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "protocols/ack_nak_frame.h"
#include "serial/line_file.h"
#include "serial/result_codes.h"
#include "serial/serial_device.h"

namespace quillon {

namespace sendlines {

bool ReadLine(std::istream& in, std::string& line) {
  line.clear();
  if (in.peek() == std::char_traits<char>::eof()) return false;
  std::getline(in, line, '\n');
  std::erase(line, '\r');
  return true;
}

int Percent(long long bytes, long long fileSize) {
  if (fileSize <= 0) return 100;
  // Counted bytes may exceed the file's: a line sent with CR LF may have had LF alone.
  const long percent =
      std::lround(static_cast<double>(bytes) * 100.0 / static_cast<double>(fileSize));
  return static_cast<int>(std::min(percent, 100L));
}

}  // namespace sendlines

namespace {

constexpr int kFirstAckMs = 500;
constexpr int kLineAckMs = 2000;
constexpr int kPauseWithoutAckMs = 20;
// CR LF goes into the same buffer as the line.
constexpr size_t kMaxLineChars = sendlines::kBufferChars - 2;

}  // namespace

int TOrvDL::Open(const std::string& portName) {
  const int handle = TOrvComm::Open(portName, 19200, 7, 2, 1);
  if (handle <= 0) return handle;
  SetTimeout(30000);
  SetCharDelay(0);
  return handle;
}

int TOrvDL::WaitAck(int timeoutMs) {
  uint8_t c = 0;
  const int r = ReadUntilOneOf(std::string_view("\x06", 1), timeoutMs, c);
  return r == 1 ? rc::kOk : r;
}

int TOrvDL::SendLine(const std::string& line) {
  const int written = WriteString(line);
  if (firstLine) {
    firstLine = false;
    expectAck = written == rc::kOk && WaitAck(kFirstAckMs) == rc::kOk;
    return written;
  }
  if (written != rc::kOk) return written;
  if (expectAck) {
    const int answer = WaitAck(kLineAckMs);
    if (answer == rc::kAborted || answer == rc::kShutdown) return answer;
    return answer == rc::kOk ? rc::kOk : rc::kNoLineAck;
  }
  SleepUnlessWoken(kPauseWithoutAckMs, abort_.fd(), ShutdownFd());
  return written;
}

int TOrvDL::SendFile(const std::string& fileName, const TOrvAckNak::Progress& progress) {
  firstLine = true;
  expectAck = true;
  lastLongLine = 0;
  if (progress) progress(portNumber_, 0, 0, 0);
  if (!IsOpen()) return Fail(rc::kNotOpen);
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return Fail(rc::kSendFileNotFound);
  // Everything that will be sent is read and checked before the first line goes out: a line is
  // never cut, and a file that cannot go whole does not go at all. The empty line that ends
  // the send ends the reading too.
  std::vector<std::string> lines;
  for (std::string line; sendlines::ReadLine(in, line) && !line.empty();) {
    if (line.size() > kMaxLineChars) {
      lastLongLine = static_cast<int>(lines.size()) + 1;
      return Fail(rc::kSendLineTooLong);
    }
    lines.push_back(line + "\r\n");
  }
  if (in.bad()) return Fail(rc::kSendFileNotFound);
  const long long fileSize = FileSizeOf(fileName);
  int blocks = 0;
  long long bytes = 0;
  for (const std::string& line : lines) {
    const int result = SendLine(line);
    if (result != rc::kOk) return Fail(result);
    ++blocks;
    bytes += static_cast<long long>(line.size());
    if (progress) {
      progress(portNumber_, blocks, static_cast<int>(bytes), sendlines::Percent(bytes, fileSize));
    }
    if (&line != &lines.back() && AbortRequested()) return Fail(rc::kAborted);
    SetTimeout(2000);
  }
  return Fail(rc::kOk);
}

}  // namespace quillon
