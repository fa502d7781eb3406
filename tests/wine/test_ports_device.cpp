#include "tests/wine/test_ports_device.h"

#include <cstring>
#include <vector>

#include "device_link/device_info_api.h"

namespace tarvik::testing {
namespace {

// Test devices are created as ROOT\TARVIK_TEST_PORT\nnnn.
constexpr char kDeviceName[] = "TARVIK_TEST_PORT";
constexpr char kInstancePrefix[] = "ROOT\\TARVIK_TEST_PORT\\";

GUID PortsGuid() {
  GUID guid;
  guid.Data1 = PortsClassGuid.data1;
  guid.Data2 = PortsClassGuid.data2;
  guid.Data3 = PortsClassGuid.data3;
  std::memcpy(guid.Data4, PortsClassGuid.data4.data(), sizeof guid.Data4);
  return guid;
}

std::string Failed(const char* step) {
  return std::string(step) + " failed, error " + std::to_string(::GetLastError());
}

bool SetTextProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property,
                     const std::string& text) {
  return ::SetupDiSetDeviceRegistryPropertyA(set, &device, property,
                                             reinterpret_cast<const BYTE*>(text.c_str()),
                                             static_cast<DWORD>(text.size() + 1)) != FALSE;
}

}  // namespace

TestPortsDevice::TestPortsDevice(const TestPortsDeviceNames& names) {
  const GUID ports = PortsGuid();
  set_ = ::SetupDiCreateDeviceInfoList(&ports, nullptr);
  if (set_ == INVALID_HANDLE_VALUE) {
    error_ = Failed("SetupDiCreateDeviceInfoList");
    return;
  }
  device_.cbSize = sizeof device_;
  created_ = ::SetupDiCreateDeviceInfoA(set_, kDeviceName, &ports, nullptr, nullptr,
                                        DICD_GENERATE_ID, &device_) != FALSE;
  if (!created_) {
    error_ = Failed("SetupDiCreateDeviceInfoA");
    return;
  }
  if (names.friendlyName && !SetTextProperty(set_, device_, SPDRP_FRIENDLYNAME, *names.friendlyName))
    error_ = Failed("setting FRIENDLYNAME");
  else if (names.description && !SetTextProperty(set_, device_, SPDRP_DEVICEDESC, *names.description))
    error_ = Failed("setting DEVICEDESC");
  else if (!::SetupDiRegisterDeviceInfo(set_, &device_, 0, nullptr, nullptr, nullptr))
    error_ = Failed("SetupDiRegisterDeviceInfo");
  else if (names.exposesInterface) {
    SP_DEVICE_INTERFACE_DATA iface{};
    iface.cbSize = sizeof iface;
    if (!::SetupDiCreateDeviceInterfaceA(set_, &device_, &ports, nullptr, 0, &iface))
      error_ = Failed("SetupDiCreateDeviceInterfaceA");
  }
}

TestPortsDevice::~TestPortsDevice() {
  if (set_ == INVALID_HANDLE_VALUE) return;
  if (created_) ::SetupDiRemoveDevice(set_, &device_);
  ::SetupDiDestroyDeviceInfoList(set_);
}

void TestPortsDevice::RemoveLeftovers() {
  const GUID ports = PortsGuid();
  const HDEVINFO set = ::SetupDiGetClassDevsA(&ports, nullptr, nullptr, 0);
  if (set == INVALID_HANDLE_VALUE) return;
  // Listed first and removed afterwards, so that no removal moves an index.
  std::vector<SP_DEVINFO_DATA> leftovers;
  for (DWORD index = 0;; ++index) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!::SetupDiEnumDeviceInfo(set, index, &device)) break;
    char id[512] = {};  // device instance IDs are at most 200 characters
    if (::SetupDiGetDeviceInstanceIdA(set, &device, id, sizeof id, nullptr) &&
        std::strncmp(id, kInstancePrefix, sizeof kInstancePrefix - 1) == 0)
      leftovers.push_back(device);
  }
  for (auto& device : leftovers) ::SetupDiRemoveDevice(set, &device);
  ::SetupDiDestroyDeviceInfoList(set);
}

}  // namespace tarvik::testing
