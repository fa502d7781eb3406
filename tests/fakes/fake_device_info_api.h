#pragma once
// An enumeration layer holding a list of devices with a friendly name and a
// description each; it counts snapshots so tests can check they are released.
#include <optional>
#include <string>
#include <vector>

#include "device_link/device_info_api.h"

namespace tarvik::testing {

struct FakeDevice {
  std::optional<std::string> friendlyName;  // nullopt: the property read fails
  std::optional<std::string> description;
};

class FakeDeviceInfoApi : public DeviceInfoApi {
 public:
  std::vector<FakeDevice> devices;
  bool failSnapshot = false;
  int snapshotsTaken = 0;
  int snapshotsReleased = 0;
  std::vector<std::uint32_t> sizesSeen;  // cbSize at every enumeration call
  std::vector<std::uint32_t> propertiesRead;
  std::uint32_t lastFlags = 0;

  DevInfoSet getClassDevs(const Guid& classGuid, std::uint32_t flags) override;
  bool enumDeviceInfo(DevInfoSet set, std::uint32_t index, DevInfoData& data) override;
  bool getDeviceRegistryProperty(DevInfoSet set, const DevInfoData& data, std::uint32_t property,
                                 std::uint32_t& dataType, std::uint8_t* buffer,
                                 std::uint32_t size, std::uint32_t& requiredSize) override;
  bool destroyDeviceInfoList(DevInfoSet set) override;
};

}  // namespace tarvik::testing
