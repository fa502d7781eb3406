#pragma once
// The device-information layer on Linux: a snapshot of the present serial
// ports taken from udev, each named the way a Windows port would be named
// ("<maker> <model> (COMn)"), so that the search for the bridge works on the
// same texts as on Windows. The naming rules are described at the top of
// device_info_linux.cpp.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "device_link/device_info_api.h"

namespace tarvik {

// What udev knows about the USB device behind a tty; any of it may be empty.
struct UsbNameSources {
  std::string vendorFromDatabase;  // ID_VENDOR_FROM_DATABASE (hwdb)
  std::string modelFromDatabase;   // ID_MODEL_FROM_DATABASE (hwdb)
  std::string manufacturer;        // the device's own strings: sysattrs of the usb_device
  std::string product;
  std::string vendorProperty;      // ID_VENDOR_ENC / ID_VENDOR, decoded
  std::string modelProperty;       // ID_MODEL_ENC / ID_MODEL, decoded
};

// One port of a snapshot, with its names fixed when the snapshot was taken.
struct SerialPortEntry {
  std::string devnode;       // "/dev/ttyUSB0"
  std::string friendlyName;  // "Silicon Labs CP210x UART Bridge (COM33)"; may be empty
  std::string description;   // "CP2102 USB to UART Bridge Controller"; may be empty
};

// "<vendor> <model> (COMn)"; empty when neither vendor nor model is known.
// The suffix is left out when the node has no COM name. At most
// kDeviceNameBufferSize - 1 bytes: a long maker or model is cut, the suffix kept.
std::string BuildFriendlyName(const UsbNameSources& sources, std::string_view devnode);
// The product string the device reports, else udev's model property.
std::string BuildDescription(const UsbNameSources& sources);
// Undoes udev's "\xNN" escapes (ID_VENDOR_ENC, ID_MODEL_ENC).
std::string DecodeUdevEscapes(std::string_view encoded);
// Orders device nodes by name with their numbers compared as numbers
// (/dev/ttyUSB2 before /dev/ttyUSB10).
bool DeviceNodeLess(std::string_view a, std::string_view b);

class LinuxDeviceInfoApi : public DeviceInfoApi {
 public:
  LinuxDeviceInfoApi() = default;
  LinuxDeviceInfoApi(const LinuxDeviceInfoApi&) = delete;
  LinuxDeviceInfoApi& operator=(const LinuxDeviceInfoApi&) = delete;
  ~LinuxDeviceInfoApi() override = default;

  DevInfoSet getClassDevs(const Guid& classGuid, std::uint32_t flags) override;
  bool enumDeviceInfo(DevInfoSet set, std::uint32_t index, DevInfoData& data) override;
  bool getDeviceRegistryProperty(DevInfoSet set, const DevInfoData& data, std::uint32_t property,
                                 std::uint32_t& dataType, std::uint8_t* buffer, std::uint32_t size,
                                 std::uint32_t& requiredSize) override;
  bool destroyDeviceInfoList(DevInfoSet set) override;

 private:
  std::map<DevInfoSet, std::vector<SerialPortEntry>> sets_;
  DevInfoSet nextSet_ = 1;
};

}  // namespace tarvik
