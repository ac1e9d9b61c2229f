#include "protocols/ack_nak.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <ctime>

#include "common/clock.h"
#include "common/format.h"
#include "common/paths.h"
#include "common/texts.h"
#include "serial/line_file.h"
#include "serial/result_codes.h"

namespace quillon {

using namespace acknak;

std::string TerminalClockText(std::time_t when) {
  std::tm tm{};
  localtime_r(&when, &tm);
  return Format("%02d%02d%02d%02d%02d%02d", tm.tm_min, tm.tm_hour, tm.tm_mday, tm.tm_mon + 1,
                tm.tm_year % 100, tm.tm_sec);
}

std::string FileInfoHeader(const std::string& fileName) {
  struct stat st {};
  if (stat(fileName.c_str(), &st) != 0) return txt::kTransferTitle;
  std::tm tm{};
  localtime_r(&st.st_mtime, &tm);
  return Format("%s,%s,%02d.%02d.%04d,%02d:%02d:%02d,%lld", txt::kTransferTitle,
                FileNamePart(fileName), tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900, tm.tm_hour,
                tm.tm_min, tm.tm_sec, static_cast<long long>(st.st_size));
}

void TOrvAckNak::StepCounter() {
  blockCounter = (blockCounter + 1) % 10;
  ++blocksDone;
}

int TOrvAckNak::WaitResponse(int timeoutMs) {
  static constexpr char kAnswers[] = {static_cast<char>(kAck), static_cast<char>(kNak),
                                      static_cast<char>(kEnq)};
  uint8_t c = 0;
  const int r = ReadUntilOneOf(std::string_view(kAnswers, sizeof kAnswers), timeoutMs, c);
  if (r != 1) return r;
  SetLastError(rc::kOk);
  return c == kAck ? rc::kAck : c == kNak ? rc::kNak : rc::kEnq;
}

int TOrvAckNak::WaitForStart() {
  for (;;) {
    uint8_t c = 0;
    const int r = ReadChar(c);
    if (r != 1) return r;
    if (c == kStart) return rc::kOk;
  }
}

int TOrvAckNak::LexLine(LexEvent& event) {
  uint8_t chunk[kFrameSize];
  for (;;) {
    size_t count = 0;
    if (device_.Buffered() == 0) {
      // Nothing buffered: ReadChar waits for the line with the port's time-out and its
      // interruptions, as it would for any single character.
      const int r = ReadChar(chunk[0]);
      if (r != 1) return r;
      count = 1;
    }
    // What is buffered is taken in one piece, never more than the lexer takes before its next
    // event: the rest stays for the next call and for the other readers of the line.
    const size_t wanted = std::min(lexer_.Needed(), sizeof chunk);
    while (count < wanted && device_.TakeByte(chunk[count])) ++count;
    rxRemaining = static_cast<uint16_t>(std::min<size_t>(device_.Buffered(), 0xFFFF));
    SetLastError(rc::kOk);
    event = lexer_.Feed(chunk, count, blockCounter);
    if (event.kind != LexKind::None) return 1;
  }
}

int TOrvAckNak::ReceiveBlock(char firstFlag) {
  if (!IsOpen()) return Fail(rc::kNotOpen);
  if (firstFlag == kTypeFirst) {
    blockCounter = 0;
    blocksDone = 0;
  }
  int failures = 0;
  int lastFailure = 0;
  auto reject = [&](int code) {
    lastActivity = 0;
    SendNak();
    if (code != 0) {
      lastFailure = code;
      SetLastError(code);
    }
    ++failures;
  };
  while (failures <= 5) {
    frame_[0] = 0;
    lexer_.Restart();
    LexEvent event;
    const int read = LexLine(event);
    if (read != 1) {
      const LexState state = lexer_.State();
      lexer_.Cut();
      if (state == LexState::Hunting) {
        // No block began.
        if (read == rc::kTimeout && lastFailure != 0) {
          SetLastError(lastFailure);
          frame_[0] = kStart;
          PostError(portNumber_, lastFailure);
        }
        return read;
      }
      // Cut inside the length digits: rejected without a code of its own.
      reject(state == LexState::Length ? 0 : rc::kTooFewChars);
      continue;
    }
    switch (event.kind) {
      case LexKind::EndBlock:
        lastActivity = 0;
        if (autoAck) SendAck();
        frame_[0] = 0;
        dataLength_ = 0;
        SetLastError(rc::kOk);
        return rc::kEndOfTransfer;
      case LexKind::Block:
        lastActivity = 0;
        if (autoAck) SendAck();
        frame_[event.length + 4] = 0;
        dataLength_ = event.length;
        StepCounter();
        SetLastError(rc::kOk);
        return rc::kBlockReceived;
      case LexKind::BadLength:
        // Length digits that are no hex number: the block cannot be framed.
        reject(rc::kTooFewChars);
        break;
      case LexKind::NoCr:
        reject(rc::kNoCr);
        break;
      case LexKind::BadCounter:
        reject(rc::kBadCounter);
        break;
      case LexKind::BadChecksum:
        reject(rc::kBadChecksum);
        break;
      case LexKind::None:
      case LexKind::Cut:
        reject(0);
        break;  // LexLine reports neither
    }
  }
  if (lastFailure != 0) PostError(portNumber_, lastFailure);
  return 0;
}

int TOrvAckNak::SendBlock(char type, const uint8_t* data, int length) {
  if (!IsOpen()) return Fail(rc::kNotOpen);
  if (type == kTypeFirst) {
    blockCounter = 0;
    blocksDone = 0;
  }
  frameLength = static_cast<int>(
      BuildBlock(type, data, static_cast<size_t>(std::max(length, 0)), blockCounter, frame_));
  const uint64_t start = Clock();
  int result = rc::kOk;
  for (;;) {
    Purge(1);
    Purge(0);
    result = WriteBlock(frame_, frameLength);
    if (result != rc::kOk) break;
    const int answer = WaitResponse(timeout_);
    if (answer == rc::kAck || answer == rc::kEnq) {
      StepCounter();
      result = rc::kOk;
      break;
    }
    if (const int code = InterruptCode()) {
      result = code;
      break;
    }
    result = answer;
    if (Clock() >= start + static_cast<uint64_t>(static_cast<int64_t>(timeout_))) break;
  }
  if (result != rc::kOk && result != rc::kAborted) PostError(portNumber_, result);
  return Fail(result);
}

int TOrvAckNak::SendText(char type, const std::string& text) {
  if (!IsOpen()) return Fail(rc::kNotOpen);
  return SendBlock(type, reinterpret_cast<const uint8_t*>(text.data()),
                   static_cast<int>(text.size()));
}

int TOrvAckNak::SendClock() {
  responseTime = -1;
  const uint64_t start = Clock();
  const int answer = WaitResponse(clockTimeout);
  if (answer != rc::kNak) {
    // ACK or ENQ: the terminal does not want the clock; silence: the time-out.
    return Fail(answer == rc::kAck || answer == rc::kEnq ? rc::kOk : answer);
  }
  responseTime = static_cast<int>(Clock() - start);
  int result = SendText(kTypeFirst, txt::kClockCommand);
  if (result == rc::kOk) result = SendText(kTypeNext, TerminalClockText(std::time(nullptr)));
  if (result == rc::kOk) result = SendText(kTypeEnd, "ENDE");
  return Fail(result);
}

int TOrvAckNak::Poll(const std::string& address) {
  responseTime = -1;
  Delay(5);
  const uint64_t start = Clock();
  bool ok = WriteString("\r" + address + "?\r") == rc::kOk && WaitResponse(pollTimeout) == rc::kAck;
  if (ok) {
    responseTime = static_cast<int>(Clock() - start);
    if (!noPollConfirm) {
      Delay(5);
      ok = WriteString("\r" + address + "!\r") == rc::kOk;
    }
  }
  if (!ok) {
    lastPolled.clear();
    return Fail(rc::kNoPollAnswer);
  }
  Delay(75);
  lastPolled = address;
  return Fail(rc::kOk);
}

int TOrvAckNak::SendFile(const std::string& fileName, const Progress& progress) {
  if (progress) progress(portNumber_, 0, 0, 0);
  const int64_t size = FileSizeOf(fileName);
  const int header =
      SendText(kTypeFirst, withFileInfo ? FileInfoHeader(fileName) : txt::kTransferTitle);
  if (header != rc::kOk) return header;
  SetTimeout(10000);
  const int body = SendFileBody(fileName, size, progress);
  if (body != rc::kOk) return body;
  return SendText(kTypeEnd, "ENDE");
}

int TOrvAckNak::SendFileBody(const std::string& fileName, int64_t fileSize,
                             const Progress& progress) {
  if (fileSize < 0) return rc::kOk;  // nothing to send: header, then the end block
  int blocks = 0;
  int64_t bytes = 0;
  try {
    TOrvFile32 file(fileName, false);
    while (!file.Eof()) {
      const std::string line = file.ReadLn();
      // A line longer than a block holds goes as consecutive blocks, never cut off.
      size_t offset = 0;
      do {
        const size_t piece = std::min(line.size() - offset, static_cast<size_t>(kMaxData));
        const int result =
            SendBlock(kTypeNext, reinterpret_cast<const uint8_t*>(line.data() + offset),
                      static_cast<int>(piece));
        if (result != rc::kOk) return result;
        offset += piece;
        bytes += static_cast<int64_t>(piece);
        ++blocks;
        if (progress) {
          const int percent =
              fileSize > 0 ? static_cast<int>(std::lround(bytes * 100.0 / fileSize)) : 100;
          progress(portNumber_, blocks, static_cast<int>(bytes), percent);
        }
      } while (offset < line.size());
    }
  } catch (const std::exception&) {
    return Fail(rc::kSendFileNotFound);
  }
  return rc::kOk;
}

}  // namespace quillon
