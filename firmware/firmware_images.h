#pragma once
// The firmware release that this build of the updater carries. Both arrays are
// generated at build time from the files of the firmware directory.
#include <cstddef>
#include <cstdint>

namespace tarvik {

inline constexpr std::size_t kFlashImageSize = 29220;   // program memory, 0x8C00..0xFE23
inline constexpr std::size_t kEepromImageSize = 1024;   // data memory, 0x1000..0x13FF

extern const std::uint8_t FlashImage[kFlashImageSize];
extern const std::uint8_t EepromImage[kEepromImageSize];

}  // namespace tarvik
