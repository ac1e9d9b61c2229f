#pragma once
// TOrvAckNak: the acknowledged block protocol spoken with the terminals, both directions:
// receiving blocks with checking, counting and NAK; sending blocks with repetition on NAK;
// polling a terminal address; sending the PC clock; sending a file.
//
// Thread safety: as TOrvComm (one owning thread; others may set the abort request).
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "protocols/ack_nak_frame.h"
#include "protocols/block_lexer.h"
#include "serial/orv_comm.h"

namespace quillon {

class TOrvAckNak : public TOrvComm {
 public:
  explicit TOrvAckNak(const ShutdownState* owner = nullptr) : TOrvComm(owner) {}

  // -104 data block accepted, -106 end block, 0 after six failed attempts (lastError holds the
  // last failure), or a negative code. firstFlag '1' resets the counter first.
  int ReceiveBlock(char firstFlag);
  int SendBlock(char type, const uint8_t* data, int length);
  int SendText(char type, const std::string& text);
  // -101 ACK, -102 NAK, -103 ENQ, -12, -26 or -5.
  int WaitResponse(int timeoutMs);
  int WaitForStart();
  int SendAck() { return WriteChar(acknak::kAck); }
  int SendNak() { return WriteChar(acknak::kNak); }
  int SendClock();
  int Poll(const std::string& address);

  using Progress = std::function<void(int port, int blocks, int bytes, int percent)>;
  int SendFile(const std::string& fileName, const Progress& progress = {});

  // After a good ReceiveBlock: '-', length digits, type, data from index 4, NUL behind the data.
  uint8_t* FrameBuffer() { return frame_; }
  // Length of the data of the last accepted block (binary data may hold NUL bytes).
  int DataLength() const { return dataLength_; }
  // Forgets the data of the last block (it counted for nothing).
  void ClearData() {
    frame_[4] = 0;
    dataLength_ = 0;
  }

  int blockCounter = 0;
  int frameLength = 0;
  int pollTimeout = 500;
  int clockTimeout = 2000;
  bool autoAck = true;
  int blocksDone = 0;
  int responseTime = -1;
  bool withFileInfo = true;
  bool noPollConfirm = false;
  std::string lastPolled;

 private:
  void StepCounter();
  // Feeds the lexer from the line until it reports an event (1), or returns the code of the
  // read that brought nothing (time-out, abort, shutdown, broken line).
  int LexLine(acknak::LexEvent& event);
  int SendFileBody(const std::string& fileName, int64_t fileSize, const Progress& progress);

  uint8_t frame_[acknak::kFrameSize] = {};
  acknak::BlockLexer lexer_{frame_};
  int dataLength_ = 0;
};

// The clock text sent to a terminal: minutes, hours, day, month, year in the century, seconds,
// two digits each ("nnhhddmmyyss").
std::string TerminalClockText(std::time_t when);

// The header of a file transfer: title, file name, modification date and time, size.
std::string FileInfoHeader(const std::string& fileName);

}  // namespace quillon
