#pragma once
// SHA-256 from the platform: the toolkit's on Linux (sha256_qt.cpp), the
// system's CryptoAPI on Windows (sha256_win32.cpp), chosen by the build. The
// program checks its embedded firmware with it when it starts.
#include <cstdint>
#include <span>

#include "firmware/firmware_images.h"

tarvik::Sha256Digest PlatformSha256(std::span<const std::uint8_t> bytes);
