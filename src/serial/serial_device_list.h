#pragma once
// The serial devices this machine has, and a quick presence test of one device.
#include <string>
#include <vector>

namespace quillon {

// Device paths of the serial ports the kernel knows: every /sys/class/tty entry with a device
// behind it (ttyUSB, ttyACM, ttyAMA ...), 8250-style ttyS ports only when a UART was found.
// `sysClassTty` is for tests.
std::vector<std::string> SystemSerialDevices(const std::string& sysClassTty = "/sys/class/tty");

// Opens the device without becoming its controlling terminal, checks that it is a terminal
// line and closes it again; the line settings are left alone.
bool DeviceOpensAsSerialLine(const std::string& devicePath);

}  // namespace quillon
