#include "device_link/device_info_win32.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace tarvik {
namespace {

// Our record mirrors SP_DEVINFO_DATA field for field.
static_assert(sizeof(DevInfoData) == sizeof(SP_DEVINFO_DATA));
static_assert(sizeof(Guid) == sizeof(GUID));

GUID ToGuid(const Guid& g) {
  GUID out;
  out.Data1 = g.data1;
  out.Data2 = g.data2;
  out.Data3 = g.data3;
  std::copy(g.data4.begin(), g.data4.end(), out.Data4);
  return out;
}

Guid FromGuid(const GUID& g) {
  Guid out{g.Data1, g.Data2, g.Data3, {}};
  std::copy(std::begin(g.Data4), std::end(g.Data4), out.data4.begin());
  return out;
}

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

using Records = std::vector<SP_DEVINFO_DATA>;

Records::const_iterator FindRecord(const Records& records, DWORD devInst, ULONG_PTR reserved,
                                   const GUID& classGuid) {
  return std::find_if(records.begin(), records.end(), [&](const SP_DEVINFO_DATA& r) {
    return r.DevInst == devInst && r.Reserved == reserved && SameGuid(r.ClassGuid, classGuid);
  });
}

DevInfoData FromRecord(const SP_DEVINFO_DATA& record) {
  DevInfoData data;
  data.cbSize = record.cbSize;
  data.ClassGuid = FromGuid(record.ClassGuid);
  data.DevInst = record.DevInst;
  data.Reserved = record.Reserved;
  return data;
}

}  // namespace

Win32DeviceInfoApi::~Win32DeviceInfoApi() {
  for (const auto& [set, snapshot] : snapshots_) ::SetupDiDestroyDeviceInfoList(snapshot.handle);
}

Win32DeviceInfoApi::Snapshot* Win32DeviceInfoApi::find(DevInfoSet set) {
  const auto it = snapshots_.find(set);
  if (it != snapshots_.end()) return &it->second;
  ::SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

DevInfoSet Win32DeviceInfoApi::getClassDevs(const Guid& classGuid, std::uint32_t flags) {
  const GUID guid = ToGuid(classGuid);
  const HDEVINFO handle = ::SetupDiGetClassDevsA(&guid, nullptr, nullptr, flags);
  if (handle == INVALID_HANDLE_VALUE) return kInvalidDevInfoSet;
  const DevInfoSet set = nextSet_++;
  snapshots_.emplace(set, Snapshot{handle, {}});
  return set;
}

bool Win32DeviceInfoApi::enumDeviceInfo(DevInfoSet set, std::uint32_t index, DevInfoData& data) {
  Snapshot* snapshot = find(set);
  if (snapshot == nullptr) return false;
  SP_DEVINFO_DATA record{};
  // setupapi checks the size on every call; it is that of its own record,
  // whatever the caller put in ours.
  record.cbSize = sizeof(SP_DEVINFO_DATA);
  if (!::SetupDiEnumDeviceInfo(snapshot->handle, index, &record)) return false;
  if (FindRecord(snapshot->handedOut, record.DevInst, record.Reserved, record.ClassGuid) ==
      snapshot->handedOut.end())
    snapshot->handedOut.push_back(record);
  data = FromRecord(record);
  return true;
}

bool Win32DeviceInfoApi::getDeviceRegistryProperty(DevInfoSet set, const DevInfoData& data,
                                                   std::uint32_t property,
                                                   std::uint32_t& dataType, std::uint8_t* buffer,
                                                   std::uint32_t size,
                                                   std::uint32_t& requiredSize) {
  Snapshot* snapshot = find(set);
  if (snapshot == nullptr) return false;
  const auto record =
      FindRecord(snapshot->handedOut, data.DevInst, data.Reserved, ToGuid(data.ClassGuid));
  if (record == snapshot->handedOut.end()) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  SP_DEVINFO_DATA device = *record;
  DWORD type = 0;
  DWORD required = 0;
  const bool ok = ::SetupDiGetDeviceRegistryPropertyA(snapshot->handle, &device, property, &type,
                                                      buffer, size, &required) != FALSE;
  dataType = type;
  requiredSize = required;
  return ok;
}

bool Win32DeviceInfoApi::destroyDeviceInfoList(DevInfoSet set) {
  Snapshot* snapshot = find(set);
  if (snapshot == nullptr) return false;
  const HDEVINFO handle = snapshot->handle;
  snapshots_.erase(set);
  return ::SetupDiDestroyDeviceInfoList(handle) != FALSE;
}

}  // namespace tarvik
