#include "device_window_win32.h"

#include <dbt.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "device_link/device_broadcast.h"
#include "device_link/device_broadcast_wide.h"

namespace tarvik::win32 {

namespace {

SIZE ClientSize(HWND window) {
  RECT client{};
  ::GetClientRect(window, &client);
  return {client.right - client.left, client.bottom - client.top};
}

}  // namespace

void GiveFixedBorder(HWND window) {
  const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
  const LONG_PTR fixed = (style & ~static_cast<LONG_PTR>(WS_THICKFRAME)) |
                         static_cast<LONG_PTR>(WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  if (fixed == style) return;
  const SIZE before = ClientSize(window);
  ::SetWindowLongPtrW(window, GWL_STYLE, fixed);
  // The frame is measured again (by Windows and by Qt) only when the window
  // is told that it changed.
  ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  // The thinner frame leaves the outer rectangle as it was and so widens the
  // client area; give the form its own size back, measured rather than
  // computed, so that it holds at any screen scale.
  const SIZE after = ClientSize(window);
  if (after.cx == before.cx && after.cy == before.cy) return;
  RECT outer{};
  ::GetWindowRect(window, &outer);
  ::SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left + before.cx - after.cx,
                 outer.bottom - outer.top + before.cy - after.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

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
  // A Unicode window (a Qt window is one) receives the record with a UTF-16
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
