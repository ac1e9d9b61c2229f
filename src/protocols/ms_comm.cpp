#include "protocols/ms_comm.h"

#include <fstream>

#include "common/paths.h"
#include "protocols/dl.h"
#include "serial/line_file.h"
#include "serial/result_codes.h"

namespace quillon {

int TOrvMsComm::Open(const std::string& portName) {
  const int handle = TOrvComm::Open(portName, 9600, 8, 0, 1);
  if (handle <= 0) return handle;
  SetTimeout(30000);
  SetCharDelay(0);
  return handle;
}

int TOrvMsComm::SendFile(const std::string& fileName, const Progress& progress) {
  if (progress) progress(portNumber_, 0, 0, 0);
  if (!IsOpen()) return Fail(rc::kNotOpen);
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return Fail(rc::kSendFileNotFound);
  const long long fileSize = FileSizeOf(fileName);
  const int named = SendText(acknak::kTypeFirst, FileNamePart(fileName));
  if (named != rc::kOk) return named;
  SetTimeout(2000);
  int blocks = 0;
  long long bytes = 0;
  char chunk[kChunkSize];
  for (;;) {
    in.read(chunk, kChunkSize);
    const auto got = static_cast<int>(in.gcount());
    if (got == 0) break;
    if (AbortRequested()) return Fail(rc::kAborted);
    const int result = SendBlock(acknak::kTypeNext, reinterpret_cast<const uint8_t*>(chunk), got);
    if (result != rc::kOk) return result;
    ++blocks;
    bytes += got;
    if (progress) {
      progress(portNumber_, blocks, static_cast<int>(bytes), sendlines::Percent(bytes, fileSize));
    }
  }
  if (in.bad()) return Fail(rc::kSendFileNotFound);
  return SendText(acknak::kTypeEnd, "ENDE");
}

}  // namespace quillon
