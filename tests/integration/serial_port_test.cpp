// The port object on a pseudo-terminal line, the test playing the far end byte by byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "common/clock.h"
#include "serial/com_remap.h"
#include "serial/orv_comm.h"
#include "serial/result_codes.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::LineBackstop;
using test::PtyPair;

// 1 when the tty is in exclusive mode, 0 when it is not; -1 when that cannot be told.
int LineHeldExclusively(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == EBUSY ? 1 : -1;
  int exclusive = -1;
  if (ioctl(fd, TIOCGEXCL, &exclusive) != 0) exclusive = -1;
  close(fd);
  return exclusive;
}

struct OpenPort {
  PtyPair line;
  ShutdownState shutdown;
  TOrvComm port{&shutdown};
  OpenPort() { EXPECT_GT(port.Open(line.path(), 9600, 8, 0, 1), 0); }
};

TEST(SerialPort, OpenCloseAndClosedPortCodes) {
  OpenPort p;
  EXPECT_EQ(p.port.Open(p.line.path(), 9600, 8, 0, 1), rc::kAlreadyOpen);
  EXPECT_TRUE(p.port.IsOpen()) << "a second open leaves the port open";
  TOrvComm other;
  EXPECT_EQ(other.Open(p.line.path(), 9600, 8, 0, 1), rc::kOpenFailed) << "opened exclusively";
  // Serial programs that know nothing of flock are kept out by the tty's exclusive mode (root
  // may still open the line, and reads the mode instead).
  EXPECT_EQ(LineHeldExclusively(p.line.path()), 1);
  EXPECT_EQ(p.port.Close(), 0);
  EXPECT_EQ(LineHeldExclusively(p.line.path()), 0) << "the mode goes with the port";
  uint8_t c = 0;
  EXPECT_EQ(p.port.ReadChar(c), rc::kNotOpen);
  EXPECT_EQ(p.port.WriteString("x"), rc::kNotOpen);
  EXPECT_EQ(p.port.Close(), rc::kNotOpen);
  EXPECT_EQ(p.port.GetBaud(), -1);
  EXPECT_EQ(p.port.GetTimeout(), -1);
  EXPECT_EQ(p.port.Open("/dev/nonexistent-line", 9600, 8, 0, 1), rc::kOpenFailed);
  EXPECT_EQ(p.port.Open(p.line.path(), 12345, 8, 0, 1), rc::kSetParamsOnOpenFailed);
  EXPECT_FALSE(p.port.IsOpen());
  EXPECT_EQ(p.port.Open(p.line.path(), 9600, 8, 0, 3), rc::kSetParamsOnOpenFailed)
      << "three stop bits";
  EXPECT_GT(p.port.Open(p.line.path(), 9600, 8, 0, 1), 0);
  p.port.SetTimeout(250);
  p.port.SetCharDelay(2);
  EXPECT_EQ(p.port.Close(), 0);
  EXPECT_GT(p.port.Reopen(), 0);
  EXPECT_EQ(p.port.GetTimeout(), 250) << "Reopen restores the time-out";
  EXPECT_EQ(p.port.GetCharDelay(), 2);
}

TEST(SerialPort, RemappedNameOpensTheMappedDeviceAndKeepsItsNumber) {
  test::TempDir dir;
  PtyPair line;
  test::WriteBytes(dir.File("ComRemap.ini"), "[Remap]\r\nCOM3=" + line.path() + "\r\n");
  SetComRemapDirectory(dir.path());
  TOrvComm port;
  EXPECT_GT(port.Open("COM3:", 9600, 8, 0, 1), 0);
  EXPECT_EQ(port.PortNumber(), 3);
  EXPECT_EQ(port.DevicePath(), line.path());
  EXPECT_EQ(port.TestPort("COM3:"), 0) << "mapped: present without a test";
  EXPECT_EQ(port.TestPort("COM9:"), rc::kTestFailed);
  EXPECT_TRUE(port.IsOpen());
  SetComRemapDirectory(QUILLON_BIN_DIR);
}

TEST(SerialPort, EveryLineSettingIsAcceptedAndBadOnesKeepTheOld) {
  OpenPort p;
  // Handing the line over during a call closes it: that close must not drop DTR, whatever
  // the device had set (serial devices start with HUPCL, pseudo-terminals without).
  termios tio{};
  ASSERT_EQ(tcgetattr(p.line.master(), &tio), 0);
  tio.c_cflag |= HUPCL;
  ASSERT_EQ(tcsetattr(p.line.master(), TCSANOW, &tio), 0);
  ASSERT_EQ(p.port.SetParams(9600, 8, 0, 1), 0);
  ASSERT_EQ(tcgetattr(p.line.master(), &tio), 0);
  EXPECT_EQ(tio.c_cflag & HUPCL, 0u);
  for (int baud : {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}) {
    for (int data : {7, 8}) {
      for (int parity = 0; parity <= 4; ++parity) {
        for (int stop : {1, 2}) {
          EXPECT_EQ(p.port.SetParams(baud, data, parity, stop), 0)
              << baud << " " << data << " " << parity << " " << stop;
        }
      }
    }
  }
  EXPECT_EQ(p.port.SetParams(1234, 8, 0, 1), rc::kSetParamsFailed);
  EXPECT_EQ(p.port.SetParams(9600, 9, 0, 1), rc::kSetParamsFailed);
  EXPECT_EQ(p.port.SetParams(9600, 8, 5, 1), rc::kSetParamsFailed);
  EXPECT_EQ(p.port.GetBaud(), 115200) << "a refused setting keeps the old values";
  EXPECT_EQ(p.port.SetBaud(4800), 0);
  EXPECT_EQ(p.port.GetBaud(), 4800);
}

TEST(SerialPort, ReadTimeouts) {
  OpenPort p;
  uint8_t c = 0;
  {
    LineBackstop backstop(p.line, "!");
    EXPECT_EQ(p.port.ReadChar(c), rc::kTimeout) << "timeout -1: do not wait";
    p.port.SetTimeout(100);
    const uint64_t start = Clock();
    EXPECT_EQ(p.port.ReadChar(c), rc::kTimeout);
    EXPECT_GE(Clock() - start, 100u);
  }

  p.port.SetTimeout(0);
  const uint64_t start = Clock();
  std::thread peer([&] {
    Delay(300);
    p.line.Write("Q");
  });
  EXPECT_EQ(p.port.ReadChar(c), 1) << "timeout 0 waits until a character comes";
  EXPECT_EQ(c, 'Q');
  EXPECT_GE(Clock() - start, 300u);
  peer.join();
}

TEST(SerialPort, AbortAndShutdownEndAWaitWithoutLimit) {
  OpenPort p;
  p.port.SetTimeout(0);
  uint8_t c = 0;
  {
    LineBackstop backstop(p.line, "!");
    std::thread aborter([&] {
      Delay(100);
      p.port.SetAbortRequested(true);
    });
    EXPECT_EQ(p.port.ReadChar(c), rc::kAborted);
    aborter.join();
  }
  EXPECT_EQ(p.port.ReadChar(c), rc::kAborted) << "stays set until cleared";
  p.port.SetAbortRequested(false);

  LineBackstop backstop(p.line, "!");
  std::thread stopper([&] {
    Delay(100);
    p.shutdown.Begin();
  });
  EXPECT_EQ(p.port.ReadChar(c), rc::kShutdown);
  stopper.join();
}

TEST(SerialPort, GetsAndReadBlock) {
  OpenPort p;
  p.port.SetTimeout(200);
  char buf[16];
  p.line.Write("AB\nCD\n");
  EXPECT_EQ(p.port.Gets(buf, 10, 10), 3) << "the line feed is counted";
  EXPECT_STREQ(buf, "AB");
  p.port.keepTerminator = true;
  EXPECT_EQ(p.port.Gets(buf, 10, 10), 3);
  EXPECT_STREQ(buf, "CD\n");
  EXPECT_EQ(p.port.Gets(buf, 0, 10), rc::kBadLength);
  EXPECT_EQ(p.port.GetLastError(), rc::kBadLength);

  p.line.Write("LONGLINE");
  EXPECT_EQ(p.port.Gets(buf, 4, 10), 4);
  EXPECT_EQ(p.port.GetLastError(), rc::kNoTerminator);
  EXPECT_STREQ(buf, "LONG");
  p.port.Purge(1);

  p.line.Write("xyz");
  EXPECT_EQ(p.port.ReadBlock(buf, 5), 3) << "partial read";
  EXPECT_EQ(p.port.GetLastError(), 0);
  EXPECT_STREQ(buf, "xyz");
  EXPECT_EQ(p.port.ReadBlock(buf, 5), 0);
  EXPECT_EQ(p.port.GetLastError(), rc::kTimeout);
  std::string binary("\0\x01\xFF", 3);
  p.line.Write(binary);
  EXPECT_EQ(p.port.ReadBlock(buf, 3), 3);
  EXPECT_EQ(std::string(buf, 3), binary);
}

TEST(SerialPort, WritesWithAndWithoutCharacterDelay) {
  OpenPort p;
  EXPECT_EQ(p.port.WriteString("-02+AB343\r"), 0);
  EXPECT_EQ(p.line.Read(10, 1000), "-02+AB343\r");
  EXPECT_EQ(p.port.WriteChar(0x06), 0);
  EXPECT_EQ(p.line.Read(1, 1000), "\x06");

  p.port.SetCharDelay(5);
  const uint64_t start = Clock();
  EXPECT_EQ(p.port.WriteString("WXYZ"), 0);
  EXPECT_GE(Clock() - start, 15u) << "three pauses of 5 ms between four characters";
  EXPECT_EQ(p.line.Read(4, 1000), "WXYZ");
}

TEST(SerialPort, PurgeAndErrorTexts) {
  OpenPort p;
  p.line.Write("old data");
  p.port.SetTimeout(20000);
  uint8_t c = 0;
  ASSERT_EQ(p.port.ReadChar(c), 1) << "the data has arrived";
  p.port.SetTimeout(-1);
  EXPECT_EQ(p.port.Purge(0), 0) << "transmit: nothing to do";
  EXPECT_EQ(p.port.Purge(7), rc::kNoQueue);
  EXPECT_EQ(p.port.Purge(1), 0);
  EXPECT_EQ(p.port.ReadChar(c), rc::kTimeout) << "the receive queue was emptied";
  p.port.SetLastError(-57);
  EXPECT_EQ(p.port.ErrorText(), "Unbekannter Fehler");
  p.port.SetLastError(-12);
  EXPECT_EQ(p.port.ErrorText(), "v24-Timeout");
  EXPECT_EQ(ErrorTextOf(-111), "Ungültigen Blockzähler empfangen");
  EXPECT_EQ(ErrorTextOf(-103), "Unbekannter Fehler");
}

TEST(SerialPort, VanishedPeerEndsTheWaitAndIsReported) {
  OpenPort p;
  int posted = 0;
  p.port.errorTarget = [&](int, int code) { posted = code; };
  p.port.SetTimeout(20000);  // ends by the hang-up long before
  std::thread closer([&] {
    Delay(50);
    p.line.CloseMaster();
  });
  uint8_t c = 0;
  EXPECT_EQ(p.port.ReadChar(c), rc::kPortBroken);
  EXPECT_EQ(posted, rc::kPortBroken);
  closer.join();
}

}  // namespace
}  // namespace quillon
