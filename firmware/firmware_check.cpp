#include "firmware/firmware_images.h"

namespace tarvik {

bool EmbeddedImagesIntact(Sha256Function sha256) {
  return sha256(std::span<const std::uint8_t>(FlashImage)) == FlashImageSha256 &&
         sha256(std::span<const std::uint8_t>(EepromImage)) == EepromImageSha256;
}

}  // namespace tarvik
