// The hot-plug watch: a device-change message only records what happened;
// the idle step acts on it once the message loop has nothing else to do.
#include "device_link/device_broadcast.h"
#include "update_engine/updater.h"

namespace tarvik {

void Updater::WMDeviceChange(std::uint32_t eventCode, const std::uint8_t* record,
                             std::size_t size) {
  if (eventCode != kDbtDeviceArrival && eventCode != kDbtDeviceRemoveComplete) return;
  const auto info = ParseBroadcastRecord(record, size);
  if (!info || info->deviceType != kDbtDevtypDeviceInterface) return;
  if (!IsTrackerDevice(info->name)) return;
  FDeviceEvent = eventCode == kDbtDeviceArrival ? kDeviceEventArrival : kDeviceEventRemoval;
}

void Updater::IdleStep(UpdaterView& view) {
  if (FDeviceEvent == kDeviceEventArrival && !FPortOpen) {
    FDeviceEvent = kDeviceEventNone;
    const std::string name = FindDevicePort();
    if (name.empty()) return;  // no probe on arrival
    ConnectPort(name);
    if (FSynced) FSynced = BootGet();
    if (FSynced) {
      view.ShowConnectionPage();
      view.UpdateButtons();
    }
    return;
  }
  if (FDeviceEvent == kDeviceEventRemoval && FPortOpen) {
    ClosePort();
    FSynced = false;
    FDeviceEvent = kDeviceEventNone;
    view.ConnectionLost();
  }
}

}  // namespace tarvik
