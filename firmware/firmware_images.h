#pragma once
// The firmware release that this build of the updater carries. Both arrays,
// and the SHA-256 of each, are generated at build time from the images the
// build was given.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "firmware/memory_map.h"

namespace tarvik {

inline constexpr std::size_t kFlashImageSize = kFlashLast - kFlashStart + 1;     // program memory
inline constexpr std::size_t kEepromImageSize = kEepromLast - kEepromStart + 1;  // data memory

extern const std::uint8_t FlashImage[kFlashImageSize];
extern const std::uint8_t EepromImage[kEepromImageSize];

using Sha256Digest = std::array<std::uint8_t, 32>;
extern const Sha256Digest FlashImageSha256;
extern const Sha256Digest EepromImageSha256;

// A platform's SHA-256 (the program's entry hands its own in).
using Sha256Function = Sha256Digest (*)(std::span<const std::uint8_t> bytes);

// Whether both images still hash to what the build recorded. A program file
// damaged on its way to the user would otherwise write damaged firmware,
// which its own verify, comparing with the same damaged image, would pass.
bool EmbeddedImagesIntact(Sha256Function sha256);

}  // namespace tarvik
