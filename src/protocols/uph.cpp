#include "protocols/uph.h"

#include <cstdint>
#include <fstream>
#include <vector>

#include "common/clock.h"
#include "protocols/dl.h"
#include "serial/line_file.h"
#include "serial/result_codes.h"
#include "serial/serial_device.h"

namespace quillon {
namespace {

constexpr int kPauseBeforeRecordMs = 20;
constexpr const char* kEndOfFileRecord = ":00000001FF";

struct PlannedRecord {
  std::vector<uint8_t> binary;
  int textLength = 0;  // counted for the progress: the record as text
};

}  // namespace

int TOrvUph::Open(const std::string& portName) {
  const int handle = TOrvComm::Open(portName, 9600, 8, 0, 1);
  if (handle <= 0) return handle;
  SetTimeout(30000);
  SetCharDelay(2);
  return handle;
}

int TOrvUph::SendFile(const std::string& fileName, const Progress& progress) {
  lastLongLine = 0;
  if (progress) progress(portNumber_, 0, 0, 0);
  if (!IsOpen()) return Fail(rc::kNotOpen);
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return Fail(rc::kSendFileNotFound);
  // Every record that will be sent is read and checked before the name block goes out. The
  // first line is always a record to send; an empty line ends the records, and so does the
  // end-of-file record after the first line.
  std::vector<PlannedRecord> records;
  bool endRecordSeen = false;
  for (std::string line; sendlines::ReadLine(in, line) && !line.empty();) {
    const int number = static_cast<int>(records.size()) + 1;
    if (number > 1 && line.rfind(kEndOfFileRecord, 0) == 0) {
      endRecordSeen = true;
      break;
    }
    PlannedRecord record;
    const int refusal = line.size() > sendlines::kBufferChars   ? rc::kSendLineTooLong
                        : !UphBinaryRecord(line, record.binary) ? rc::kBadHexRecord
                                                                : rc::kOk;
    if (refusal != rc::kOk) {
      lastLongLine = number;
      return Fail(refusal);
    }
    record.textLength = 2 * static_cast<int>(record.binary.size()) + 7;
    records.push_back(std::move(record));
  }
  if (in.bad()) return Fail(rc::kSendFileNotFound);
  const long long fileSize = FileSizeOf(fileName);

  const int named = SendText(acknak::kTypeFirst, UphProgramName(fileName));
  SetCharDelay(1);
  if (named != rc::kOk) return named;
  SetTimeout(2000);
  int blocks = 0;
  long long bytes = 0;
  for (const PlannedRecord& record : records) {
    if (AbortRequested()) return Fail(rc::kAborted);
    SleepUnlessWoken(kPauseBeforeRecordMs, abort_.fd(), ShutdownFd());
    const int result =
        SendBlock(acknak::kTypeNext, record.binary.data(), static_cast<int>(record.binary.size()));
    if (result != rc::kOk) return result;
    ++blocks;
    bytes += record.textLength;
    if (progress) {
      progress(portNumber_, blocks, static_cast<int>(bytes), sendlines::Percent(bytes, fileSize));
    }
  }
  if (endRecordSeen && progress) progress(portNumber_, blocks, static_cast<int>(bytes), 100);
  return SendText(acknak::kTypeEnd, "ENDE");
}

}  // namespace quillon
