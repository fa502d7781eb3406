// Discovery and connection: which port to open, and bringing the bootloader
// on it to answer.
#include "device_link/port_discovery.h"
#include "update_engine/updater.h"

namespace tarvik {

std::string Updater::FindDevicePort() { return FindBridgePort(devices_, PortsClassGuid); }

void Updater::ScanComPorts() {
  // The probe has handles of its own; the open port, if any, stays open and
  // stays the one FPortHandle names.
  FPortList = ProbeComPorts(serialApi());
}

void Updater::ConnectPort(const std::string& name) {
  ClosePort();
  FSynced = false;
  FPortOpen = OpenPort(name);
  if (FPortOpen) {
    FSynced = BootSync();
    if (!FSynced) ClosePort();
  }
}

void Updater::ConnectByScan() {
  FSynced = false;
  ScanComPorts();
  // Highest number first: a bridge usually gets a later number than the
  // machine's own ports.
  for (auto it = FPortList.rbegin(); it != FPortList.rend() && !FSynced; ++it) ConnectPort(*it);
}

}  // namespace tarvik
