#include "device_window_win32.h"

#include <dbt.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "device_link/device_broadcast.h"
#include "device_link/device_broadcast_wide.h"

namespace tarvik::win32 {

// The device link builds and reads these records by offset, the same on 32-
// and 64-bit Windows: size, type, reserved and class GUID, then the name,
// 8-bit or UTF-16.
static_assert(offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_devicetype) == 4);
static_assert(offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) == kBroadcastHeaderSize);
static_assert(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) == kBroadcastHeaderSize);

bool RegisterForDeviceInterfaces(HWND window) {
  // With DEVICE_NOTIFY_ALL_INTERFACE_CLASSES the class GUID is not consulted.
  BroadcastRecord filter = BuildBroadcastRecord(kDbtDevtypDeviceInterface, {});
  return ::RegisterDeviceNotificationA(window, filter.data(),
                                       DEVICE_NOTIFY_WINDOW_HANDLE |
                                           DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != nullptr;
}

bool TakeDeviceChange(UINT message, WPARAM wParam, LPARAM lParam,
                      const DeviceNotifications::Handler& handler) {
  if (message != WM_DEVICECHANGE) return false;
  const auto code = static_cast<std::uint32_t>(wParam);
  if ((code != DBT_DEVICEARRIVAL && code != DBT_DEVICEREMOVECOMPLETE) || lParam == 0) return true;
  // A Unicode window (ours is one) may receive the record with a UTF-16
  // name. Its size comes first; no more than that is read, and no more than
  // the longest name needs.
  const auto* record = reinterpret_cast<const std::uint8_t*>(lParam);
  std::uint32_t declared = 0;
  std::memcpy(&declared, record, sizeof declared);
  const std::size_t size = std::min<std::size_t>(declared, kWideBroadcastRecordSize);
  if (const auto narrow = NarrowBroadcastRecord(record, size))
    handler(code, narrow->record.data(), narrow->size);
  return true;
}

}  // namespace tarvik::win32
