#pragma once
// Whether a port "COMn:" exists on this machine.
#include <string>

namespace quillon {

// A port redirected by ComRemap.ini counts as present without a test. Otherwise, with
// `openTest` the device is opened and closed again; without, it must be in the system's list
// of serial devices. `exeDir` is the directory holding ComRemap.ini.
bool IsPortPresent(const std::string& exeDir, const std::string& portName, bool openTest);

}  // namespace quillon
