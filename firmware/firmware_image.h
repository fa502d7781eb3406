#pragma once
// The 64 KiB image of the device's address space: byte a is what belongs at
// device address a. Built once at start from the two embedded images and
// read-only afterwards; every write takes its bytes from it and the verify
// compares against it.
#include <cstddef>
#include <cstdint>

#include "firmware/firmware_images.h"

namespace tarvik {

inline constexpr std::size_t kFirmwareImageSize = 65536;

extern std::uint8_t FirmwareImage[kFirmwareImageSize];

// One fill and two block copies; no allocation, cannot fail.
void BuildFirmwareImage();

}  // namespace tarvik
