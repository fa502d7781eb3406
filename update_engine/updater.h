#pragma once
// The updater: the window's state and every operation of the wizard that is
// not about drawing. The main window derives from it (so the fields and
// operations are the window's own) and plays the UpdaterView for it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bootloader_protocol/boot_commands.h"
#include "device_link/device_info_api.h"
#include "firmware/memory_map.h"
#include "update_engine/updater_view.h"

namespace tarvik {

// Pending hot-plug event.
inline constexpr std::uint8_t kDeviceEventNone = 0;
inline constexpr std::uint8_t kDeviceEventArrival = 1;
inline constexpr std::uint8_t kDeviceEventRemoval = 2;

// Update stages.
inline constexpr std::uint8_t kStageNone = 0;
inline constexpr std::uint8_t kStageRequested = 1;
inline constexpr std::uint8_t kStageWriteFlash = 2;
inline constexpr std::uint8_t kStageVerify = 3;
inline constexpr std::uint8_t kStageWriteEeprom = 4;
inline constexpr std::uint8_t kStageDone = 5;

class Updater : public BootloaderLink {
 public:
  Updater(SerialApi& serial, DeviceInfoApi& devices);

  // The data half of window creation: the fields' initial values and the
  // memory image (one fill and two copies).
  void InitUpdaterState();

  // Discovery and connection.
  std::string FindDevicePort();
  void ScanComPorts();
  void ConnectPort(const std::string& name);
  void ConnectByScan();

  // The update; its outcome is left in FStage (5 success, 0 failure).
  void RunUpdate(UpdaterView& view);

  // Hot-plug: record a device-change message, act on it when idle.
  void WMDeviceChange(std::uint32_t eventCode, const std::uint8_t* record, std::size_t size);
  void IdleStep(UpdaterView& view);

  DeviceInfoApi& deviceInfoApi() { return devices_; }

  std::vector<std::string> FPortList;
  std::uint8_t FDeviceEvent = 0;
  std::uint32_t FAddress = 0;
  std::uint32_t FEndAddress = 0;
  bool FSynced = false;
  std::uint16_t FBlockSize = 0;
  std::uint8_t FStage = 0;

 private:
  void ShowWriteError(UpdaterView& view);
  DeviceInfoApi& devices_;
};

}  // namespace tarvik
