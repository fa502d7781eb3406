#pragma once
// The device-information layer on Windows: setupapi, call for call. The
// snapshots are known to the caller by numbers of this layer, and the device
// records it hands out are copies of setupapi's own; a number or record that
// did not come from here is refused without a call, because setupapi takes
// the record's hidden field for a pointer into the snapshot.
#include <map>
#include <vector>

#include <windows.h>
#include <setupapi.h>

#include "device_link/device_info_api.h"

namespace tarvik {

class Win32DeviceInfoApi : public DeviceInfoApi {
 public:
  Win32DeviceInfoApi() = default;
  Win32DeviceInfoApi(const Win32DeviceInfoApi&) = delete;
  Win32DeviceInfoApi& operator=(const Win32DeviceInfoApi&) = delete;
  // Releases the snapshots still held.
  ~Win32DeviceInfoApi() override;

  DevInfoSet getClassDevs(const Guid& classGuid, std::uint32_t flags) override;
  bool enumDeviceInfo(DevInfoSet set, std::uint32_t index, DevInfoData& data) override;
  bool getDeviceRegistryProperty(DevInfoSet set, const DevInfoData& data, std::uint32_t property,
                                 std::uint32_t& dataType, std::uint8_t* buffer, std::uint32_t size,
                                 std::uint32_t& requiredSize) override;
  bool destroyDeviceInfoList(DevInfoSet set) override;

 private:
  struct Snapshot {
    HDEVINFO handle;
    std::vector<SP_DEVINFO_DATA> handedOut;  // records the enumeration filled
  };
  // The snapshot, or nullptr with ERROR_INVALID_HANDLE.
  Snapshot* find(DevInfoSet set);

  std::map<DevInfoSet, Snapshot> snapshots_;
  DevInfoSet nextSet_ = 1;
};

}  // namespace tarvik
