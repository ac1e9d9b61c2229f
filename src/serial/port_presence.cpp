#include "serial/port_presence.h"

#include <algorithm>

#include "serial/com_remap.h"
#include "serial/orv_comm.h"
#include "serial/result_codes.h"
#include "serial/serial_device_list.h"

namespace quillon {

bool IsPortPresent(const std::string& portName, bool openTest) {
  const std::string remapDir = ComRemapDirectory();
  if (RemapEntry(remapDir, portName)) return true;
  if (openTest) return TOrvComm().TestPort(portName) == rc::kOk;
  const auto devices = SystemSerialDevices();
  return std::find(devices.begin(), devices.end(), DevicePathForPort(remapDir, portName)) !=
         devices.end();
}

}  // namespace quillon
