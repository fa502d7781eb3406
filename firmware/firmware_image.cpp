#include "firmware/firmware_image.h"

#include <cstring>

namespace tarvik {

static_assert(kEepromImageAddress + kEepromImageSize <= kFlashImageAddress);
static_assert(kFlashImageAddress + kFlashImageSize <= kFirmwareImageSize);

std::uint8_t FirmwareImage[kFirmwareImageSize];

void BuildFirmwareImage() {
  std::memset(FirmwareImage, 0x00, sizeof FirmwareImage);
  std::memcpy(FirmwareImage + kEepromImageAddress, EepromImage, kEepromImageSize);
  std::memcpy(FirmwareImage + kFlashImageAddress, FlashImage, kFlashImageSize);
}

}  // namespace tarvik
