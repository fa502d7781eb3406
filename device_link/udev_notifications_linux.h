#pragma once
// Device notifications on Linux: a udev monitor on the tty subsystem. The
// arrival or removal of a USB serial port is handed on as the device-interface
// notification Windows would send for its USB device, with a device path of
// the Windows form, e.g.
//   \\?\USB#VID_10C4&PID_EA60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}
// so that the same test of the path recognises the bridge on both systems.
#include <string>
#include <string_view>

#include "device_link/device_notifications.h"
#include "device_link/udev_handles_linux.h"

namespace tarvik {

// The path of a USB device interface: vendor and product as four upper-case
// hex digits, then the instance (the serial number; characters a path cannot
// hold become '_'). Empty when vendor or product is not 1-4 hex digits.
std::string UsbDeviceInterfacePath(std::string_view vendorId, std::string_view productId,
                                   std::string_view instance);

class UdevNotifications : public DeviceNotifications {
 public:
  UdevNotifications() = default;
  UdevNotifications(const UdevNotifications&) = delete;
  UdevNotifications& operator=(const UdevNotifications&) = delete;
  ~UdevNotifications() override = default;

  void Register(Handler handler) override;
  int PollDescriptor() const override;
  // Never blocks: reads the events that wait and returns.
  void Dispatch() override;

 private:
  UdevPtr udev_;
  UdevMonitorPtr monitor_;
  Handler handler_;
};

}  // namespace tarvik
