#pragma once
// Finding the bridge's COM port: by the device names the platform reports
// (the bridge carries "SILICON LABS" and "CP210X"), or by probing the port
// names COM1..COM250.
#include <string>
#include <vector>

#include "device_link/device_info_api.h"
#include "device_link/serial_api.h"

namespace tarvik {

inline constexpr unsigned kProbeLastPort = 250;

// The friendly name, else the description; possibly empty.
std::string GetDeviceName(DeviceInfoApi& api, DevInfoSet set, const DevInfoData& data);

// "COM" and digits of the first present device that carries both marks and a
// port number after "COM"; empty text when there is none.
std::string FindBridgePort(DeviceInfoApi& api, const Guid& classGuid);

// The port number read out of one device name, as FindBridgePort reads it;
// empty text when the name does not qualify.
std::string PortFromDeviceName(const std::string& name);

// The names COM1..COM250 that open with access 0 (nothing configured or
// written), in ascending order; each probe handle is closed at once.
std::vector<std::string> ProbeComPorts(SerialApi& api);

}  // namespace tarvik
