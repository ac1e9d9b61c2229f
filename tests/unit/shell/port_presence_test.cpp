#include "serial/port_presence.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <filesystem>

#include "serial/com_remap.h"
#include "serial/serial_device_list.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using test::TempDir;
using test::WriteBytes;

TEST(ComRemap, DevicePathsAndPortNumbers) {
  TempDir dir;
  const std::string exeDir = dir.path() + "/";
  WriteBytes(dir.File("ComRemap.ini"), "[Remap]\r\nCOM3=ttyUSB0\r\ncom4=/dev/pts/7\r\nCOM5=\r\n");
  EXPECT_EQ(DevicePathForPort(exeDir, "COM3:"), "/dev/ttyUSB0");
  EXPECT_EQ(DevicePathForPort(exeDir, "COM4:"), "/dev/pts/7") << "key matched in any case";
  EXPECT_EQ(DevicePathForPort(exeDir, "COM5:"), "/dev/ttyS4") << "empty value: no remap";
  EXPECT_EQ(DevicePathForPort(exeDir, "COM1:"), "/dev/ttyS0");
  EXPECT_EQ(PortNumberOf("COM12:"), 12);
  EXPECT_EQ(PortNumberOf("COMx:"), 0);
}

TEST(PortPresence, RemappedPortNeedsNoTestOtherwiseDeviceMustOpen) {
  TempDir dir;
  const std::string exeDir = dir.path() + "/";
  int master = -1;
  int slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  WriteBytes(dir.File("ComRemap.ini"),
             std::string("[Remap]\nCOM1=") + name + "\nCOM2=/dev/does-not-exist\n");
  SetComRemapDirectory(exeDir);
  EXPECT_TRUE(IsPortPresent("COM1:", true));
  EXPECT_TRUE(IsPortPresent("COM2:", true)) << "a remapped port is present untested";
  WriteBytes(dir.File("ComRemap.ini"), "");
  EXPECT_FALSE(IsPortPresent("COM9:", true)) << "/dev/ttyS8 is no serial line here";
  SetComRemapDirectory(std::string(QUILLON_BIN_DIR));
  EXPECT_TRUE(DeviceOpensAsSerialLine(name));
  EXPECT_FALSE(DeviceOpensAsSerialLine("/dev/null")) << "not a terminal line";
  EXPECT_FALSE(DeviceOpensAsSerialLine(dir.File("nothing")));
  close(slave);
  close(master);
}

TEST(SerialDeviceList, ReadsDevicesFromSysfsLayout) {
  TempDir dir;
  auto port = [&](const std::string& name, const char* type) {
    const std::string base = dir.File(name);
    std::filesystem::create_directories(base + "/device");
    if (type != nullptr) WriteBytes(base + "/type", type);
  };
  port("ttyS0", "4\n");
  port("ttyS1", "0\n");  // legacy slot without a UART
  port("ttyUSB0", nullptr);
  std::filesystem::create_directories(dir.File("tty1"));  // virtual console: no device
  EXPECT_EQ(SystemSerialDevices(dir.path()),
            (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyUSB0"}));
}

}  // namespace
}  // namespace quillon
