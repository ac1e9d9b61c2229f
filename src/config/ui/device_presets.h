#pragma once
// The line settings of the terminal families, offered on the page "Anschluß".
#include <array>

#include "config/settings_types.h"

namespace quillon {

struct DevicePreset {
  int baudrate;
  int dataBits;
  int parity;  // 0 none, 2 even
  int stopBits;
  int charDelay;
};

inline constexpr std::array<DevicePreset, 5> kDevicePresets = {{
    {9600, 8, 0, 1, 0},
    {9600, 7, 2, 1, 5},
    {9600, 8, 0, 1, 0},
    {38400, 8, 0, 1, 0},
    {9600, 7, 2, 1, 5},
}};

// Writes the preset's five values into the port's settings; the protocol stays as it is.
inline void ApplyDevicePreset(const DevicePreset& preset, TQuillonOpt& opt) {
  opt.Baudrate = preset.baudrate;
  opt.DataBits = preset.dataBits;
  opt.Parity = preset.parity;
  opt.StopBits = preset.stopBits;
  opt.CharDelay = preset.charDelay;
}

}  // namespace quillon
