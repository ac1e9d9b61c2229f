#include "protocols/ymodem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "protocols/xyz_transfers.h"

namespace quillon::xyz {
namespace {

std::string LastPathComponent(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int ReceiveOneFile(BlockReceiver& receiver, int fd, std::string& senderName) {
  FileHeader header;
  int result = receiver.ReceiveHeader(header);
  if (result != kDone) return result;
  if (header.endOfBatch) {
    receiver.Cancel();  // the sender has nothing to send
    return kFailed;
  }
  senderName = SenderFileName(header.name);
  // Block 0 is acknowledged together with the request for the data.
  result = receiver.ReceiveData(fd, header.size,
                                "\x06"
                                "C");
  if (result != kDone) return result;
  return receiver.ReceiveEndOfBatch();
}

int SendOneFile(BlockSender& sender, int fd, const std::string& path, const struct stat& info) {
  int result = sender.WaitForRequest(info.st_size);
  if (result != kDone) return result;
  const std::vector<uint8_t> header =
      BuildFileHeader(LastPathComponent(path), static_cast<uint64_t>(info.st_size), info.st_mtime);
  result = sender.SendBlock(0, header.data(), header.size(), header.size(), 0);
  if (result != kDone) return result;
  // The receiver asks for the data once it has taken block 0.
  result = sender.WaitForRequest(info.st_size);
  if (result == kDone) result = sender.SendData(fd, info.st_size);
  if (result != kDone) return result;
  // The file is through; the empty block 0 only ends the batch and cannot fail it.
  if (sender.WaitForRequest(info.st_size) == kDone) sender.EndBatch();
  return kDone;
}

}  // namespace

int YmodemReceive(Line& line, const std::string& targetPath, std::string& senderName,
                  const Progress& progress, const XyTimings& timings) {
  senderName.clear();
  const int fd = CreateTargetFile(targetPath);
  if (fd < 0) return kFailed;
  BlockReceiver receiver(line, progress, timings);
  return FinishTargetFile(fd, targetPath, ReceiveOneFile(receiver, fd, senderName));
}

int YmodemSend(Line& line, const std::string& path, const Progress& progress,
               const XyTimings& timings) {
  return SendRegularFile(path, [&](int fd, const struct stat& info) {
    BlockSender sender(line, progress, timings);
    return SendOneFile(sender, fd, path, info);
  });
}

int YmodemReceive(Line& line, const std::string& targetPath, std::string& senderName,
                  const Progress& progress) {
  return YmodemReceive(line, targetPath, senderName, progress, XyTimings{});
}

int YmodemSend(Line& line, const std::string& path, const Progress& progress) {
  return YmodemSend(line, path, progress, XyTimings{});
}

}  // namespace quillon::xyz
