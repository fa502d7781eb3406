#pragma once
// The native window's device changes: its registration for device-interface
// notifications and the reading of the device-change message. form_window.cpp calls these with the window's
// handle and message.
#include "win32_headers.h"

#include "device_link/device_notifications.h"

namespace tarvik::win32 {

// RegisterDeviceNotificationA for device interfaces of every class, with the
// 284-byte DEV_BROADCAST_DEVICEINTERFACE_A filter (size 284, type 5, the rest
// zero). The handle is not kept: the registration lasts as long as the
// window. False when the system refused it.
bool RegisterForDeviceInterfaces(HWND window);

// True for WM_DEVICECHANGE, which the window answers with 0 and does not hand
// on. For an arrival (0x8000) or a completed removal (0x8004) with a record,
// the record, read no further than its own size field says and narrowed to
// 8-bit text, goes to handler; other events carry nothing of interest.
bool TakeDeviceChange(UINT message, WPARAM wParam, LPARAM lParam,
                      const DeviceNotifications::Handler& handler);

}  // namespace tarvik::win32
