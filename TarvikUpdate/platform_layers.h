#pragma once
// The platform under the wizard: the serial calls, the device enumeration
// and the source of device arrival and removal notifications. One source
// file per platform, chosen by the build.
#include <memory>

#include "device_link/device_info_api.h"
#include "device_link/device_notifications.h"
#include "device_link/serial_api.h"

class PlatformLayers {
 public:
  PlatformLayers();
  ~PlatformLayers();
  PlatformLayers(const PlatformLayers&) = delete;
  PlatformLayers& operator=(const PlatformLayers&) = delete;

  tarvik::SerialApi& serial();
  tarvik::DeviceInfoApi& devices();
  // Null where the window receives device changes itself (Windows).
  tarvik::DeviceNotifications* notifications();

 private:
  struct Layers;
  std::unique_ptr<Layers> layers_;
};
