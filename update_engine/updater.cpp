#include "update_engine/updater.h"

#include "firmware/firmware_image.h"

namespace tarvik {

Updater::Updater(SerialApi& serial, DeviceInfoApi& devices)
    : BootloaderLink(serial), devices_(devices) {}

void Updater::InitUpdaterState() {
  FSynced = false;
  FPortOpen = false;
  FBootVersion = 0;
  FBootCmdCount = 0;
  FBlockSize = kBlockBytes;
  FEndAddress = 0;
  FStage = kStageNone;
  BuildFirmwareImage();
  FPortList.clear();
}

}  // namespace tarvik
