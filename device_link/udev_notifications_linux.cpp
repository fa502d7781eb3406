#include "device_link/udev_notifications_linux.h"

#include <fcntl.h>

#include <cstdint>
#include <cstring>

#include "device_link/device_broadcast.h"

namespace tarvik {
namespace {

// GUID_DEVINTERFACE_USB_DEVICE, as Windows writes it in device paths.
constexpr std::string_view kUsbDeviceInterfaceClass = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

std::string_view Property(udev_device* dev, const char* key) {
  const char* value = udev_device_get_property_value(dev, key);
  return value != nullptr ? std::string_view(value) : std::string_view{};
}

// The property of the event, else the sysfs attribute of the USB device. On
// removal the USB device may be gone already, but udev repeats on the event
// the properties it had recorded for the tty.
std::string_view PropertyOrUsbAttr(udev_device* tty, const char* key, const char* attr) {
  std::string_view value = Property(tty, key);
  if (!value.empty()) return value;
  udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
  if (usb == nullptr) return {};
  const char* attrValue = udev_device_get_sysattr_value(usb, attr);
  return attrValue != nullptr ? std::string_view(attrValue) : std::string_view{};
}

std::string NormalizeUsbId(std::string_view id) {
  if (id.empty() || id.size() > 4) return {};
  std::string normalized(4 - id.size(), '0');
  for (char c : id) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return {};
    normalized.push_back(c);
  }
  return normalized;
}

std::string PathForTtyEvent(udev_device* tty) {
  const std::string_view vendor = PropertyOrUsbAttr(tty, "ID_VENDOR_ID", "idVendor");
  const std::string_view product = PropertyOrUsbAttr(tty, "ID_MODEL_ID", "idProduct");
  std::string_view instance = PropertyOrUsbAttr(tty, "ID_SERIAL_SHORT", "serial");
  // Without a serial number the kernel name still tells the arrival and the
  // removal of one port apart from those of another.
  if (instance.empty()) {
    const char* sysname = udev_device_get_sysname(tty);
    instance = sysname != nullptr ? sysname : "";
  }
  return UsbDeviceInterfacePath(vendor, product, instance);
}

}  // namespace

std::string UsbDeviceInterfacePath(std::string_view vendorId, std::string_view productId,
                                   std::string_view instance) {
  const std::string vendor = NormalizeUsbId(vendorId);
  const std::string product = NormalizeUsbId(productId);
  if (vendor.empty() || product.empty()) return {};
  std::string safeInstance;
  for (char c : instance) {
    const auto byte = static_cast<unsigned char>(c);
    const bool fits = byte > 0x20 && byte < 0x7F && c != '#' && c != '\\' && c != '/';
    safeInstance.push_back(fits ? c : '_');
  }
  // push_back rather than = "0": GCC 12's -Wrestrict misfires on the
  // assignment of a literal at -O3.
  if (safeInstance.empty()) safeInstance.push_back('0');
  std::string path = "\\\\?\\USB#VID_" + vendor + "&PID_" + product + "#" + safeInstance + "#";
  path += kUsbDeviceInterfaceClass;
  return path;
}

void UdevNotifications::Register(Handler handler) {
  handler_ = std::move(handler);
  monitor_.reset();
  udev_.reset(udev_new());
  if (!udev_) return;
  UdevMonitorPtr monitor(udev_monitor_new_from_netlink(udev_.get(), "udev"));
  if (!monitor ||
      udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "tty", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor.get()) < 0)
    return;
  // Dispatch runs on the window's thread: a read must never wait.
  const int fd = udev_monitor_get_fd(monitor.get());
  if (fd < 0) return;
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return;
  monitor_ = std::move(monitor);
}

int UdevNotifications::PollDescriptor() const {
  return monitor_ ? udev_monitor_get_fd(monitor_.get()) : -1;
}

void UdevNotifications::Dispatch() {
  if (!monitor_) return;
  // libudev skips the events its filter rejects and returns null once the
  // socket is empty.
  while (UdevDevicePtr tty{udev_monitor_receive_device(monitor_.get())}) {
    const char* action = udev_device_get_action(tty.get());
    if (action == nullptr) continue;
    std::uint32_t eventCode = 0;
    if (std::strcmp(action, "add") == 0)
      eventCode = kDbtDeviceArrival;
    else if (std::strcmp(action, "remove") == 0)
      eventCode = kDbtDeviceRemoveComplete;
    else
      continue;
    const std::string path = PathForTtyEvent(tty.get());
    if (path.empty() || !handler_) continue;
    const BroadcastRecord record = BuildBroadcastRecord(kDbtDevtypDeviceInterface, path);
    handler_(eventCode, record.data(), record.size());
  }
}

}  // namespace tarvik
