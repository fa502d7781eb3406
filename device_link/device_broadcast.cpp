#include "device_link/device_broadcast.h"

#include <algorithm>
#include <cstring>

namespace tarvik {
namespace {

void PutU32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetU32(const std::uint8_t* at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= std::uint32_t{at[i]} << (8 * i);
  return value;
}

}  // namespace

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

BroadcastRecord BuildBroadcastRecord(std::uint32_t deviceType, std::string_view path) {
  BroadcastRecord record{};
  PutU32(record.data(), kBroadcastRecordSize);
  PutU32(record.data() + 4, deviceType);
  const std::size_t n = std::min(path.size(), kBroadcastNameSize - 1);
  std::memcpy(record.data() + kBroadcastHeaderSize, path.data(), n);
  return record;
}

std::optional<BroadcastInfo> ParseBroadcastRecord(const std::uint8_t* record, std::size_t size) {
  // The size and the type are needed; both are read only if the record holds them.
  if (record == nullptr || size < 8) return std::nullopt;
  const std::uint32_t declared = GetU32(record);
  if (declared < 8) return std::nullopt;
  const std::size_t usable = std::min<std::size_t>(declared, size);
  BroadcastInfo info{GetU32(record + 4), {}};
  if (usable > kBroadcastHeaderSize) {
    const std::size_t room = std::min(usable - kBroadcastHeaderSize, kBroadcastNameSize);
    const auto* name = record + kBroadcastHeaderSize;
    const void* zero = std::memchr(name, 0, room);
    const std::size_t length =
        zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - name) : room;
    info.name.assign(reinterpret_cast<const char*>(name), length);
  }
  return info;
}

bool IsTrackerDevice(std::string_view path) {
  return AsciiUpper(path).find("VID_10C4&PID_EA60") != std::string::npos;
}

}  // namespace tarvik
