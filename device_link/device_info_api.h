#pragma once
// The platform layer for finding the bridge: a snapshot of the present
// serial-port devices, enumerated by index, each with a friendly name or a
// description as 8-bit text, released after use. Shaped like the setupapi
// calls, so the Win32 backend passes straight through.
#include <array>
#include <cstdint>

namespace tarvik {

using DevInfoSet = std::intptr_t;
inline constexpr DevInfoSet kInvalidDevInfoSet = -1;

// GUID in its standard 16-byte layout.
struct Guid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::array<std::uint8_t, 8> data4;
};

// {4D36E978-E325-11CE-BFC1-08002BE10318}: serial and parallel ports.
inline constexpr Guid PortsClassGuid{0x4D36E978, 0xE325, 0x11CE,
                                     {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

// DIGCF_PRESENT | DIGCF_DEVICEINTERFACE.
inline constexpr std::uint32_t kDigcfPresentInterface = 0x12;
inline constexpr std::uint32_t kSpdrpDeviceDesc = 0;
inline constexpr std::uint32_t kSpdrpFriendlyName = 12;
inline constexpr std::uint32_t kDeviceNameBufferSize = 257;

// SP_DEVINFO_DATA: the size field is set before every enumeration call; the
// rest is filled by the enumeration and handed on unchanged.
struct DevInfoData {
  std::uint32_t cbSize = 0;
  Guid ClassGuid{};
  std::uint32_t DevInst = 0;
  std::uintptr_t Reserved = 0;
};

class DeviceInfoApi {
 public:
  virtual ~DeviceInfoApi() = default;
  virtual DevInfoSet getClassDevs(const Guid& classGuid, std::uint32_t flags) = 0;
  virtual bool enumDeviceInfo(DevInfoSet set, std::uint32_t index, DevInfoData& data) = 0;
  // Writes the property as zero-terminated 8-bit text into buffer[size].
  virtual bool getDeviceRegistryProperty(DevInfoSet set, const DevInfoData& data,
                                         std::uint32_t property, std::uint32_t& dataType,
                                         std::uint8_t* buffer, std::uint32_t size,
                                         std::uint32_t& requiredSize) = 0;
  virtual bool destroyDeviceInfoList(DevInfoSet set) = 0;
};

}  // namespace tarvik
