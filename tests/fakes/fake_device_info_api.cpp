#include "tests/fakes/fake_device_info_api.h"

#include <algorithm>
#include <cstring>

namespace tarvik::testing {

DevInfoSet FakeDeviceInfoApi::getClassDevs(const Guid&, std::uint32_t flags) {
  lastFlags = flags;
  if (failSnapshot) return kInvalidDevInfoSet;
  ++snapshotsTaken;
  return 42;
}

bool FakeDeviceInfoApi::enumDeviceInfo(DevInfoSet, std::uint32_t index, DevInfoData& data) {
  sizesSeen.push_back(data.cbSize);
  if (index >= devices.size()) return false;
  data.DevInst = index;
  return true;
}

bool FakeDeviceInfoApi::getDeviceRegistryProperty(DevInfoSet, const DevInfoData& data,
                                                  std::uint32_t property, std::uint32_t& dataType,
                                                  std::uint8_t* buffer, std::uint32_t size,
                                                  std::uint32_t& requiredSize) {
  propertiesRead.push_back(property);
  const auto& device = devices.at(data.DevInst);
  const auto& text = property == kSpdrpFriendlyName ? device.friendlyName : device.description;
  if (!text) return false;
  dataType = 1;  // REG_SZ
  requiredSize = static_cast<std::uint32_t>(text->size() + 1);
  // Like the registry: the text and its zero if they fit, else nothing.
  if (requiredSize > size) {
    std::memcpy(buffer, text->data(), size);  // a full buffer with no zero in it
    return false;
  }
  std::memcpy(buffer, text->c_str(), requiredSize);
  return true;
}

bool FakeDeviceInfoApi::destroyDeviceInfoList(DevInfoSet) {
  ++snapshotsReleased;
  return true;
}

}  // namespace tarvik::testing
