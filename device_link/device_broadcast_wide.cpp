#include "device_link/device_broadcast_wide.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tarvik {
namespace {

std::uint32_t GetU32(const std::uint8_t* at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= std::uint32_t{at[i]} << (8 * i);
  return value;
}

void PutU32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A device path starts with ASCII ("\\?\USB#..."), so in UTF-16LE its first
// character has a zero high byte, while in 8-bit text a zero second byte
// would end the name after one character. For a one-character name both
// readings agree on that character.
bool LooksWide(const std::uint8_t* name, std::size_t room) {
  return room >= 2 && name[0] != 0 && name[1] == 0;
}

bool IsHighSurrogate(std::uint16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(std::uint16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

std::string NarrowWideName(const std::uint8_t* name, std::size_t room) {
  const std::size_t units = std::min(room / 2, kBroadcastNameSize);
  const auto unitAt = [name](std::size_t i) {
    return static_cast<std::uint16_t>(name[2 * i] | (name[2 * i + 1] << 8));
  };
  std::string out;
  for (std::size_t i = 0; i < units; ++i) {
    const std::uint16_t unit = unitAt(i);
    if (unit == 0) break;
    if (unit < 0x80) {
      out.push_back(static_cast<char>(unit));
      continue;
    }
    // A character outside the 16-bit range is one character, not two.
    if (IsHighSurrogate(unit) && i + 1 < units && IsLowSurrogate(unitAt(i + 1))) ++i;
    out.push_back('?');
  }
  return out;
}

std::string NarrowName(const std::uint8_t* name, std::size_t room) {
  if (LooksWide(name, room)) return NarrowWideName(name, room);
  const std::size_t limit = std::min(room, kBroadcastNameSize);
  const void* zero = std::memchr(name, 0, limit);
  const std::size_t length =
      zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - name) : limit;
  return std::string(reinterpret_cast<const char*>(name), length);
}

}  // namespace

std::optional<NarrowBroadcast> NarrowBroadcastRecord(const std::uint8_t* record,
                                                     std::size_t size) {
  if (record == nullptr || size < 8) return std::nullopt;
  const std::uint32_t declared = GetU32(record);
  if (declared < 8) return std::nullopt;
  const std::size_t usable = std::min<std::size_t>(declared, size);

  NarrowBroadcast out{};
  const std::size_t header = std::min(usable, kBroadcastHeaderSize);
  std::memcpy(out.record.data(), record, header);
  out.size = header;
  if (usable > kBroadcastHeaderSize && GetU32(record + 4) == kDbtDevtypDeviceInterface) {
    const std::string name =
        NarrowName(record + kBroadcastHeaderSize, usable - kBroadcastHeaderSize);
    std::memcpy(out.record.data() + kBroadcastHeaderSize, name.data(), name.size());
    // The zero follows where there is room for it; a full 256-character name
    // fills the record, as it may in a received one.
    out.size = kBroadcastHeaderSize + std::min(name.size() + 1, kBroadcastNameSize);
  }
  PutU32(out.record.data(), static_cast<std::uint32_t>(out.size));
  return out;
}

}  // namespace tarvik
