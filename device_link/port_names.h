#pragma once
// Port names are "COM" and decimal digits, as on Windows. On Linux a fixed
// mapping turns a name into a device node and back:
//   COM1..COM32    /dev/ttyS0..31
//   COM33..COM96   /dev/ttyUSB0..63
//   COM97..COM160  /dev/ttyACM0..63
// Names outside these ranges, and anything that is not "COM" + digits without
// a leading zero, have no node.
#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

std::optional<std::string> DeviceNodeForPort(std::string_view portName);
std::optional<std::string> PortForDeviceNode(std::string_view node);

// Strips the device namespace prefix "\\.\" if present.
std::string_view StripDevicePrefix(std::string_view path);

}  // namespace tarvik
