// Linux: termios ports under COM names, udev for the port list and for the
// bridge being plugged in or pulled out.
#include "platform_layers.h"

#include "device_link/device_info_linux.h"
#include "device_link/port_names.h"
#include "device_link/serial_api_posix.h"
#include "device_link/udev_notifications_linux.h"

struct PlatformLayers::Layers {
  tarvik::PosixSerialApi serial{tarvik::DeviceNodeForPort};
  tarvik::LinuxDeviceInfoApi devices;
  tarvik::UdevNotifications notifications;
};

PlatformLayers::PlatformLayers() : layers_(std::make_unique<Layers>()) {}
PlatformLayers::~PlatformLayers() = default;

tarvik::SerialApi& PlatformLayers::serial() { return layers_->serial; }
tarvik::DeviceInfoApi& PlatformLayers::devices() { return layers_->devices; }
tarvik::DeviceNotifications* PlatformLayers::notifications() { return &layers_->notifications; }
