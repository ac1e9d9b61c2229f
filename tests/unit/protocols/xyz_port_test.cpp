#include "protocols/xyz_port.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <string>

#include "serial/com_remap.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

TEST(XyzPort, PortNumberBaudCodeAndModeByte) {
  EXPECT_EQ(LibraryPortNumber("COM3:"), 3);
  EXPECT_EQ(LibraryPortNumber("COM10"), 10);
  EXPECT_EQ(LibraryPortNumber("COM:"), 0);
  EXPECT_EQ(LibraryPortNumber(""), 0);
  EXPECT_EQ(LibraryPortNumber("COM1X2:"), 0) << "no number in the middle";

  const struct {
    int baud, code;
  } rates[] = {{300, 5},    {600, 6},    {1200, 7},   {2400, 9},    {4800, 10},  {9600, 12},
               {19200, 13}, {38400, 14}, {57600, 15}, {115200, 16}, {14400, 12}, {0, 12}};
  for (const auto& r : rates) {
    EXPECT_EQ(BaudCode(r.baud), r.code) << r.baud;
    EXPECT_EQ(BaudOfCode(r.code), r.baud == 14400 || r.baud == 0 ? 9600 : r.baud) << r.baud;
  }

  const struct {
    int dataBits, parity, stopBits, mode;
  } modes[] = {{8, 0, 1, 3},  {7, 2, 1, 26}, {7, 1, 2, 14},
               {8, 3, 1, 43}, {8, 4, 2, 63}, {5, 0, 1, 3}};
  for (const auto& m : modes) {
    EXPECT_EQ(ModeByte(m.dataBits, m.parity, m.stopBits), m.mode) << m.mode;
    const LineParams p = LineParamsOf(12, m.mode);
    EXPECT_EQ(p.dataBits, m.dataBits == 7 ? 7 : 8) << m.mode;
    EXPECT_EQ(p.parity, m.parity) << m.mode;
    EXPECT_EQ(p.stopBits, m.stopBits) << m.mode;
  }
}

TEST(XyzPort, OpensTheRemappedLineWithItsParameters) {
  test::TempDir dir;
  test::PtyPair line;
  test::WriteBytes(dir.File(kComRemapFile),
                   "[Remap]\r\nCOM7=" + line.path() + "\r\nCOM8=" + dir.File("none") + "\r\n");
  SetComRemapDirectory(dir.path());
  TQuillonOpt opt;
  opt.PortName = "COM7:";
  opt.Baudrate = 19200;
  opt.DataBits = 8;  // a pseudo-terminal keeps neither 7 data bits nor parity
  opt.Parity = 0;
  opt.StopBits = 2;
  {
    LibraryPort port;
    ASSERT_TRUE(OpenLibraryPort(port, opt));
    EXPECT_EQ(port.Number(), 7);
    termios tio{};
    ASSERT_EQ(tcgetattr(line.master(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), B19200);
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB), CS8 | CSTOPB);
    LibraryPort second;
    EXPECT_FALSE(OpenLibraryPort(second, opt)) << "the line is held exclusively";
  }
  LibraryPort again;
  EXPECT_TRUE(OpenLibraryPort(again, opt)) << "closed with its port object";
  opt.PortName = "COM8:";
  LibraryPort missing;
  EXPECT_FALSE(OpenLibraryPort(missing, opt));
  EXPECT_FALSE(missing.IsOpen());
  SetComRemapDirectory(QUILLON_BIN_DIR);
}

}  // namespace
}  // namespace quillon
