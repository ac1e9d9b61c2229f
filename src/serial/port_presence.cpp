#include "serial/port_presence.h"

#include <algorithm>

#include "serial/com_remap.h"
#include "serial/serial_device_list.h"

namespace quillon {

bool IsPortPresent(const std::string& exeDir, const std::string& portName, bool openTest) {
  if (RemapEntry(exeDir, portName)) return true;
  const std::string device = DevicePathForPort(exeDir, portName);
  if (openTest) return DeviceOpensAsSerialLine(device);
  const auto devices = SystemSerialDevices();
  return std::find(devices.begin(), devices.end(), device) != devices.end();
}

}  // namespace quillon
