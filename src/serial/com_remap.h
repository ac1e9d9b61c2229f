#pragma once
// Which device a port name such as "COM3:" opens.
//
// "ComRemap.ini" beside the executable may redirect a port: section [Remap], key "COMn". An
// absolute value is a device path used as is; any other value gets "/dev/" in front
// (COM3=ttyUSB0 opens /dev/ttyUSB0). Without an entry COMn is /dev/ttyS(n-1).
#include <optional>
#include <string>

namespace quillon {

inline constexpr const char* kComRemapFile = "ComRemap.ini";

// The directory holding ComRemap.ini: the program's own directory unless set otherwise (tests,
// tools). Safe to call from any thread.
std::string ComRemapDirectory();
void SetComRemapDirectory(const std::string& dir);

// The key of a port name in ComRemap.ini: the name up to its first ':' ("COM1:" -> "COM1").
std::string RemapKeyOf(const std::string& portName);

// The non-empty remap value of the port, if ComRemap.ini in `exeDir` has one.
std::optional<std::string> RemapEntry(const std::string& exeDir, const std::string& portName);

// The device path the port name opens.
std::string DevicePathForPort(const std::string& exeDir, const std::string& portName);

// The port number in a name like "COM12:" (12), or 0 when there is none.
int PortNumberOf(const std::string& portName);

}  // namespace quillon
