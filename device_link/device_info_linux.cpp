// Serial-port names on Linux
// --------------------------
// The bridge is recognised by the words "Silicon Labs" and "CP210x" in a
// port's name and the port by the "(COMn)" at its end, as Windows names it
// "Silicon Labs CP210x USB to UART Bridge (COM5)". On Linux each present
// serial port (a tty with a real parent device; the virtual consoles, pts,
// ptmx and console have none, and serial-core ports without a UART behind
// them, sysfs type 0, are left out as well) gets two names from udev:
//
// Friendly name: "<vendor> <model> (COMn)", the way lsusb shows a USB device:
//   vendor = ID_VENDOR_FROM_DATABASE (udev's hwdb), else the device's own
//            manufacturer string (sysfs "manufacturer" of the USB device),
//            else ID_VENDOR (from ID_VENDOR_ENC, escapes undone);
//   model  = ID_MODEL_FROM_DATABASE, else the sysfs "product" string, else
//            ID_MODEL (from ID_MODEL_ENC);
//   each looked up first on the tty device, then on its USB device.
//   COMn is the port name of the node: COM1-32 = /dev/ttyS0-31,
//   COM33-96 = /dev/ttyUSB0-63, COM97-160 = /dev/ttyACM0-63; a node outside
//   these ranges gets no suffix. A port with neither vendor nor model has no
//   friendly name. Example: a CP2102 on /dev/ttyUSB0 is
//   "Silicon Labs CP210x UART Bridge (COM33)" on any Debian or Ubuntu whose
//   hwdb knows 10c4:ea60 (all current ones do).
// Description: the product string the USB device reports (sysfs "product"),
//   e.g. "CP2102 USB to UART Bridge Controller", else ID_MODEL.
//
// Control characters in these texts become spaces; the texts are otherwise
// passed on as udev has them (UTF-8). A friendly name is at most 256 bytes:
// a longer maker or model is cut so that the "(COMn)" suffix survives.
// The devices are listed in the order of their device nodes, numbers compared
// as numbers (/dev/ttyACM0, /dev/ttyS0, /dev/ttyUSB0, /dev/ttyUSB1, ...).
#include "device_link/device_info_linux.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "device_link/port_names.h"
#include "device_link/udev_handles_linux.h"

namespace tarvik {
namespace {

constexpr std::uint32_t kRegSz = 1;

std::string CleanText(std::string_view raw) {
  std::string text(raw);
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = ' ';
  }
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

const std::string& FirstNonEmpty(const std::string& a, const std::string& b,
                                 const std::string& c) {
  return !a.empty() ? a : !b.empty() ? b : c;
}

// Cuts text to at most max bytes without splitting a UTF-8 sequence.
std::string CutText(std::string text, std::size_t max) {
  if (text.size() <= max) return text;
  std::size_t end = max;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return CleanText(text);
}

std::string Property(udev_device* dev, const char* key) {
  if (dev == nullptr) return {};
  const char* value = udev_device_get_property_value(dev, key);
  return value != nullptr ? CleanText(value) : std::string{};
}

std::string SysAttr(udev_device* dev, const char* name) {
  if (dev == nullptr) return {};
  const char* value = udev_device_get_sysattr_value(dev, name);
  return value != nullptr ? CleanText(value) : std::string{};
}

// A property of the tty, else the same property of its USB device.
std::string TtyOrUsbProperty(udev_device* tty, udev_device* usb, const char* key) {
  std::string value = Property(tty, key);
  return !value.empty() ? value : Property(usb, key);
}

// ID_VENDOR / ID_MODEL as the device reported them: the _ENC form keeps the
// spaces that the plain form turns into underscores.
std::string NameProperty(udev_device* tty, udev_device* usb, const char* encodedKey,
                         const char* plainKey) {
  std::string encoded = TtyOrUsbProperty(tty, usb, encodedKey);
  if (!encoded.empty()) return CleanText(DecodeUdevEscapes(encoded));
  std::string plain = TtyOrUsbProperty(tty, usb, plainKey);
  std::replace(plain.begin(), plain.end(), '_', ' ');
  return CleanText(plain);
}

UsbNameSources GatherNameSources(udev_device* tty) {
  // Owned by tty; not to be released here.
  udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
  UsbNameSources sources;
  sources.vendorFromDatabase = TtyOrUsbProperty(tty, usb, "ID_VENDOR_FROM_DATABASE");
  sources.modelFromDatabase = TtyOrUsbProperty(tty, usb, "ID_MODEL_FROM_DATABASE");
  sources.manufacturer = SysAttr(usb, "manufacturer");
  sources.product = SysAttr(usb, "product");
  sources.vendorProperty = NameProperty(tty, usb, "ID_VENDOR_ENC", "ID_VENDOR");
  sources.modelProperty = NameProperty(tty, usb, "ID_MODEL_ENC", "ID_MODEL");
  return sources;
}

// A serial port that exists in hardware: virtual ttys have no parent device,
// and a serial-core port whose probe found no UART reports type 0.
bool IsHardwarePort(udev_device* tty) {
  if (udev_device_get_devnode(tty) == nullptr || udev_device_get_parent(tty) == nullptr)
    return false;
  const char* type = udev_device_get_sysattr_value(tty, "type");
  return type == nullptr || std::strcmp(type, "0") != 0;
}

std::optional<std::vector<SerialPortEntry>> ScanSerialPorts() {
  UdevPtr udev(udev_new());
  if (!udev) return std::nullopt;
  UdevEnumeratePtr enumerate(udev_enumerate_new(udev.get()));
  if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "tty") < 0 ||
      udev_enumerate_scan_devices(enumerate.get()) < 0)
    return std::nullopt;

  std::vector<SerialPortEntry> ports;
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
    UdevDevicePtr tty(udev_device_new_from_syspath(udev.get(), udev_list_entry_get_name(entry)));
    if (!tty || !IsHardwarePort(tty.get())) continue;
    const std::string devnode = udev_device_get_devnode(tty.get());
    const UsbNameSources sources = GatherNameSources(tty.get());
    ports.push_back({devnode, BuildFriendlyName(sources, devnode), BuildDescription(sources)});
  }
  std::sort(ports.begin(), ports.end(), [](const SerialPortEntry& a, const SerialPortEntry& b) {
    return DeviceNodeLess(a.devnode, b.devnode);
  });
  return ports;
}

bool IsPortsClass(const Guid& guid) {
  return guid.data1 == PortsClassGuid.data1 && guid.data2 == PortsClassGuid.data2 &&
         guid.data3 == PortsClassGuid.data3 && guid.data4 == PortsClassGuid.data4;
}

}  // namespace

std::string DecodeUdevEscapes(std::string_view encoded) {
  auto hexValue = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string text;
  text.reserve(encoded.size());
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] == '\\' && i + 3 < encoded.size() && encoded[i + 1] == 'x') {
      const int high = hexValue(encoded[i + 2]);
      const int low = hexValue(encoded[i + 3]);
      if (high >= 0 && low >= 0) {
        text.push_back(static_cast<char>(high * 16 + low));
        i += 3;
        continue;
      }
    }
    text.push_back(encoded[i]);
  }
  return text;
}

std::string BuildFriendlyName(const UsbNameSources& sources, std::string_view devnode) {
  const std::string vendor = CleanText(
      FirstNonEmpty(sources.vendorFromDatabase, sources.manufacturer, sources.vendorProperty));
  const std::string model = CleanText(
      FirstNonEmpty(sources.modelFromDatabase, sources.product, sources.modelProperty));
  std::string base = vendor;
  if (!base.empty() && !model.empty()) base += ' ';
  base += model;
  if (base.empty()) return {};

  const auto port = PortForDeviceNode(devnode);
  const std::string suffix = port ? " (" + *port + ")" : std::string{};
  const std::size_t maxLength = kDeviceNameBufferSize - 1;
  return CutText(base, maxLength - suffix.size()) + suffix;
}

std::string BuildDescription(const UsbNameSources& sources) {
  return CutText(CleanText(!sources.product.empty() ? sources.product : sources.modelProperty),
                 kDeviceNameBufferSize - 1);
}

bool DeviceNodeLess(std::string_view a, std::string_view b) {
  // Compares runs of digits by value and everything else byte by byte.
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (isDigit(a[i]) && isDigit(b[j])) {
      std::size_t iEnd = i;
      std::size_t jEnd = j;
      while (iEnd < a.size() && isDigit(a[iEnd])) ++iEnd;
      while (jEnd < b.size() && isDigit(b[jEnd])) ++jEnd;
      auto digitsA = a.substr(i, iEnd - i);
      auto digitsB = b.substr(j, jEnd - j);
      digitsA.remove_prefix(std::min(digitsA.find_first_not_of('0'), digitsA.size()));
      digitsB.remove_prefix(std::min(digitsB.find_first_not_of('0'), digitsB.size()));
      if (digitsA.size() != digitsB.size()) return digitsA.size() < digitsB.size();
      if (digitsA != digitsB) return digitsA < digitsB;
      i = iEnd;
      j = jEnd;
      continue;
    }
    if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    ++i;
    ++j;
  }
  if ((a.size() - i) != (b.size() - j)) return (a.size() - i) < (b.size() - j);
  return a < b;  // equal by value ("ttyS01" and "ttyS1"): any fixed order will do
}

DevInfoSet LinuxDeviceInfoApi::getClassDevs(const Guid& classGuid, std::uint32_t /*flags*/) {
  std::vector<SerialPortEntry> ports;
  if (IsPortsClass(classGuid)) {
    auto scanned = ScanSerialPorts();
    if (!scanned) return kInvalidDevInfoSet;
    ports = std::move(*scanned);
  }
  const DevInfoSet set = nextSet_++;
  sets_.emplace(set, std::move(ports));
  return set;
}

bool LinuxDeviceInfoApi::enumDeviceInfo(DevInfoSet set, std::uint32_t index, DevInfoData& data) {
  const auto found = sets_.find(set);
  if (found == sets_.end() || index >= found->second.size()) return false;
  data.ClassGuid = PortsClassGuid;
  data.DevInst = index;
  data.Reserved = 0;
  return true;
}

bool LinuxDeviceInfoApi::getDeviceRegistryProperty(DevInfoSet set, const DevInfoData& data,
                                                   std::uint32_t property,
                                                   std::uint32_t& dataType, std::uint8_t* buffer,
                                                   std::uint32_t size,
                                                   std::uint32_t& requiredSize) {
  requiredSize = 0;
  if (buffer != nullptr && size > 0) buffer[0] = 0;

  const auto found = sets_.find(set);
  if (found == sets_.end() || data.DevInst >= found->second.size()) return false;
  const SerialPortEntry& port = found->second[data.DevInst];
  const std::string* text = property == kSpdrpFriendlyName ? &port.friendlyName
                            : property == kSpdrpDeviceDesc ? &port.description
                                                           : nullptr;
  if (text == nullptr || text->empty() || buffer == nullptr || size == 0) return false;

  const std::size_t copied = std::min<std::size_t>(text->size(), size - 1);
  std::memcpy(buffer, text->data(), copied);
  buffer[copied] = 0;
  dataType = kRegSz;
  requiredSize = static_cast<std::uint32_t>(text->size() + 1);
  return true;
}

bool LinuxDeviceInfoApi::destroyDeviceInfoList(DevInfoSet set) { return sets_.erase(set) > 0; }

}  // namespace tarvik
