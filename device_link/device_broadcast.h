#pragma once
// The device-interface broadcast record (DEV_BROADCAST_DEVICEINTERFACE_A with
// room for a 256-byte name, 284 bytes, little-endian) and the bridge test.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

inline constexpr std::uint32_t kWmDeviceChange = 0x0219;
inline constexpr std::uint32_t kDbtDeviceArrival = 0x8000;
inline constexpr std::uint32_t kDbtDeviceRemoveComplete = 0x8004;
inline constexpr std::uint32_t kDbtDevtypPort = 3;
inline constexpr std::uint32_t kDbtDevtypDeviceInterface = 5;
inline constexpr std::size_t kBroadcastHeaderSize = 28;  // size, type, reserved, class GUID
inline constexpr std::size_t kBroadcastNameSize = 256;
inline constexpr std::size_t kBroadcastRecordSize = kBroadcastHeaderSize + kBroadcastNameSize;

using BroadcastRecord = std::array<std::uint8_t, kBroadcastRecordSize>;

// A record of the given type naming path (cut to 255 characters plus the zero).
BroadcastRecord BuildBroadcastRecord(std::uint32_t deviceType, std::string_view path);

struct BroadcastInfo {
  std::uint32_t deviceType;
  std::string name;  // empty when the record has no room for one
};
// Reads the type and the name only as far as the record's own size field
// and the given size allow; nullopt when even the header is incomplete.
std::optional<BroadcastInfo> ParseBroadcastRecord(const std::uint8_t* record, std::size_t size);

// True when the upper-cased path holds "VID_10C4&PID_EA60".
bool IsTrackerDevice(std::string_view path);

// Upper-cases a to z only; every other byte stays as it is.
std::string AsciiUpper(std::string_view text);

}  // namespace tarvik
