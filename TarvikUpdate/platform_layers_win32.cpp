// Windows: kernel32 for the ports, setupapi for the port list. There is no
// separate source of device changes: the window registers itself for them
// and receives WM_DEVICECHANGE.
#include "platform_layers.h"

#include "device_link/device_info_win32.h"
#include "device_link/serial_api_win32.h"

struct PlatformLayers::Layers {
  tarvik::Win32SerialApi serial;
  tarvik::Win32DeviceInfoApi devices;
};

PlatformLayers::PlatformLayers() : layers_(std::make_unique<Layers>()) {}
PlatformLayers::~PlatformLayers() = default;

tarvik::SerialApi& PlatformLayers::serial() { return layers_->serial; }
tarvik::DeviceInfoApi& PlatformLayers::devices() { return layers_->devices; }
tarvik::DeviceNotifications* PlatformLayers::notifications() { return nullptr; }
