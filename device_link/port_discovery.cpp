#include "device_link/port_discovery.h"

#include <cstring>

#include "device_link/device_broadcast.h"

namespace tarvik {
namespace {

std::string ReadProperty(DeviceInfoApi& api, DevInfoSet set, const DevInfoData& data,
                         std::uint32_t property) {
  std::uint8_t buffer[kDeviceNameBufferSize];
  buffer[0] = 0;
  std::uint32_t dataType = 0;
  std::uint32_t required = 0;
  // The call's own result is not looked at: a read that fails leaves the
  // buffer's first byte zero, that is an empty name.
  (void)api.getDeviceRegistryProperty(set, data, property, dataType, buffer, sizeof buffer,
                                      required);
  const void* zero = std::memchr(buffer, 0, sizeof buffer);
  const std::size_t length =
      zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - buffer)
           : sizeof buffer;
  return std::string(reinterpret_cast<const char*>(buffer), length);
}

}  // namespace

std::string GetDeviceName(DeviceInfoApi& api, DevInfoSet set, const DevInfoData& data) {
  std::string name = ReadProperty(api, set, data, kSpdrpFriendlyName);
  if (name.empty()) name = ReadProperty(api, set, data, kSpdrpDeviceDesc);
  return name;
}

std::string PortFromDeviceName(const std::string& name) {
  const std::string upper = AsciiUpper(name);
  const auto silicon = upper.find("SILICON LABS");
  if (silicon == std::string::npos || upper.find("CP210X") == std::string::npos) return {};
  // The working text runs from the "S" of "SILICON LABS" to the name's last
  // character, which it leaves out: for "... (COM12)" that is the closing
  // parenthesis, and every digit of the number stays in.
  const std::size_t p = silicon + 1;  // counted from 1
  const std::string working = upper.substr(silicon, upper.size() - p);
  const auto com = working.find("COM");
  if (com == std::string::npos) return {};
  std::string digits;
  for (std::size_t i = com; i < working.size(); ++i)
    if (working[i] >= '0' && working[i] <= '9') digits += working[i];
  return digits.empty() ? std::string{} : "COM" + digits;
}

std::string FindBridgePort(DeviceInfoApi& api, const Guid& classGuid) {
  const DevInfoSet set = api.getClassDevs(classGuid, kDigcfPresentInterface);
  if (set == kInvalidDevInfoSet) return {};
  std::string result;
  for (std::uint32_t index = 0;; ++index) {
    DevInfoData data;
    data.cbSize = sizeof(DevInfoData);
    if (!api.enumDeviceInfo(set, index, data)) break;
    result = PortFromDeviceName(GetDeviceName(api, set, data));
    if (!result.empty()) break;
  }
  api.destroyDeviceInfoList(set);
  return result;
}

std::vector<std::string> ProbeComPorts(SerialApi& api) {
  std::vector<std::string> found;
  for (unsigned n = 1; n <= kProbeLastPort; ++n) {
    const std::string name = "COM" + std::to_string(n);
    const PortHandle h = api.createFile(kDevicePrefix + name, 0, kFileShareRead | kFileShareWrite,
                                        kOpenExisting, kFileAttributeNormal);
    if (h == kInvalidPortHandle) continue;
    found.push_back(name);
    api.closeHandle(h);
  }
  return found;
}

}  // namespace tarvik
