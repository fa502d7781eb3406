#include "firmware/firmware_image.h"

#include <cstring>

namespace tarvik {

static_assert(kEepromStart + kEepromImageSize <= kFlashStart);
static_assert(kFlashStart + kFlashImageSize <= kFirmwareImageSize);

std::uint8_t FirmwareImage[kFirmwareImageSize];

void BuildFirmwareImage() {
  std::memset(FirmwareImage, 0x00, sizeof FirmwareImage);
  std::memcpy(FirmwareImage + kEepromStart, EepromImage, kEepromImageSize);
  std::memcpy(FirmwareImage + kFlashStart, FlashImage, kFlashImageSize);
}

}  // namespace tarvik
