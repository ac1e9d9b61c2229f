#pragma once
// Whether a port "COMn:" exists on this machine.
#include <string>

namespace quillon {

// A port redirected by ComRemap.ini counts as present without a test. Otherwise, with
// `openTest` the port is tested by opening it (TOrvComm::TestPort); without, its device must be
// in the system's list of serial devices.
bool IsPortPresent(const std::string& portName, bool openTest);

}  // namespace quillon
