#pragma once
// TOrvComm: one serial port, opened by its name ("COM1:", redirected through ComRemap.ini, or a
// device path), with line settings, reads and writes with a millisecond time-out and an
// optional pause between written characters. Every operation returns 0 or a negative result
// code (serial/result_codes.h) and keeps it as lastError.
//
// Time-outs: -1 = do not wait, 0 = wait without limit, > 0 = that many ms. Waits block in
// poll() and end at once when abortRequested is set (-26) or the application shuts down (-5).
//
// Thread safety: an instance belongs to one thread (a receive, send or line thread). Other
// threads may only call SetAbortRequested() and GetLastError().
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/shutdown_state.h"
#include "serial/serial_device.h"

namespace quillon {

class TOrvComm {
 public:
  // `owner` is the application's shutdown state (may be null in tools and tests).
  explicit TOrvComm(const ShutdownState* owner = nullptr);
  ~TOrvComm();
  TOrvComm(const TOrvComm&) = delete;
  TOrvComm& operator=(const TOrvComm&) = delete;

  // Returns the descriptor (> 0) or -2, -3, -4.
  int Open(const std::string& portName, int baud, int dataBits, int parity, int stopBits);
  int Reopen();
  int Close();
  int TestPort(const std::string& portName);
  bool IsOpen() const { return device_.IsOpen(); }
  // The open line has died (device unplugged, far end of a pseudo-terminal closed).
  bool LineGone() const { return device_.IsOpen() && device_.HungUp(); }

  int SetParams(int baud, int dataBits, int parity, int stopBits);
  int SetBaud(int baud);
  int GetBaud() const;
  int SetTimeout(int ms);
  int GetTimeout() const;
  int SetCharDelay(int ms);
  int GetCharDelay() const;
  int Purge(int queue);  // 1 = receive, 0 = transmit

  // 1 when a character was read, else a negative code.
  int ReadChar(uint8_t& c);
  // Reads, skipping other characters, until one of `wanted` comes within `timeoutMs` (the
  // port's time-out meanwhile): 1 with it in `c`, or the code of the read that brought nothing.
  int ReadUntilOneOf(std::string_view wanted, int timeoutMs, uint8_t& c);
  // `buffer` holds maxCount + 1 bytes; returns the number of characters taken from the line.
  int Gets(char* buffer, int maxCount, int terminator);
  int ReadBlock(char* buffer, int count);
  int WriteChar(uint8_t c);
  int WriteBlock(const uint8_t* buffer, int length);
  int WriteBlock(const char* buffer, int length) {
    return WriteBlock(reinterpret_cast<const uint8_t*>(buffer), length);
  }
  int WriteString(const std::string& text);
  int WaitTxEmpty();
  int WaitRxEvent();

  int GetLastError() const { return lastError_.load(std::memory_order_relaxed); }
  void SetLastError(int code) { lastError_.store(code, std::memory_order_relaxed); }
  std::string ErrorText() const;

  // Reports go to callbacks the owner of the port sets (the window's messages, the logbook).
  void PostError(int portNumber, int code);
  void Log(const std::string& text);
  std::function<void(int port, int code)> errorTarget;
  std::function<void(const std::string& line)> logTarget;

  // Modem dialogue (answering modem on the line). Lists are alternatives; a settings text is
  // split into items at "^M". Results: -50 OK, -51 unexpected answer, -53 no answer / init
  // failed, -55 connected, -56 connection failed, -58 password rejected, -59 failure answer or
  // line released after a failed call, -60 hang-up failed.
  void SetInitStrings(const std::string& text);
  void SetConnectStrings(const std::string& text);
  void SetOkStrings(const std::string& text);
  void SetRingStrings(const std::string& text);
  void SetAnswerStrings(const std::string& text);
  void ClearInitStrings() { initStrings.clear(); }
  void ClearConnectStrings() { connectStrings.clear(); }
  void ClearOkStrings() { okStrings.clear(); }
  void ClearRingStrings() { ringStrings.clear(); }
  void ClearAnswerStrings() { answerStrings.clear(); }
  int ModemCommand(const std::string& command, std::string* response, bool appendCr);
  bool ModemPresent();
  int InitModem();
  int WaitForCall(const std::vector<std::string>& passwords);
  int HangUp();

  std::vector<std::string> initStrings;
  std::vector<std::string> connectStrings{"CONNECT", "CARRIER"};
  std::vector<std::string> failureStrings{"NO CARRIER",  "ERROR",     "NO DIALTONE", "BUSY",
                                          "DIAL LOCKED", "NO ANSWER", "DELAYED"};
  std::vector<std::string> okStrings{"OK"};
  std::vector<std::string> ringStrings{"RING"};
  std::vector<std::string> answerStrings{"ATA"};
  std::string hangUpString = "+++~~~ATH0";
  std::string connectionId;

  void SetAbortRequested(bool value);
  bool AbortRequested() const { return abort_.IsSet(); }

  const std::string& PortName() const { return portName_; }
  int PortNumber() const { return portNumber_; }
  const std::string& OpenedName() const { return openedName_; }
  const std::vector<std::string>& AvailablePorts() const { return availablePorts_; }
  const std::string& DevicePath() const { return devicePath_; }

  bool keepTerminator = false;
  bool waitTxEmpty = true;
  bool useCommEvent = false;  // waits always block in poll(); kept for callers that set it
  bool verboseLog = false;
  std::string protocolRequest;
  uint16_t rxRemaining = 0;
  uint64_t lastActivity = 0;

 protected:
  // -26 when the port is wanted back, -5 when the application ends or the port was closed,
  // else 0.
  int InterruptCode() const;
  bool ShuttingDown() const { return owner_ != nullptr && owner_->IsShuttingDown(); }
  int ShutdownFd() const { return owner_ != nullptr ? owner_->fd() : -1; }
  int Fail(int code) {
    SetLastError(code);
    return code;
  }

  SerialDevice device_;
  const ShutdownState* owner_;
  WakeFlag abort_;
  std::atomic<int> lastError_{-99};
  std::string portName_;
  std::string devicePath_;
  int portNumber_ = 0;
  LineParams params_;
  int charDelay_ = 0;
  int timeout_ = -1;
  std::string openedName_;
  std::vector<std::string> availablePorts_;
};

// Makes the read and write primitives available under the line thread's own name.
class TOrvV24 : public TOrvComm {
 public:
  using TOrvComm::TOrvComm;
};

}  // namespace quillon
