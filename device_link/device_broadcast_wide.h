#pragma once
// A device-change record as a window receives it, turned into the 8-bit
// record the hot-plug handler reads. A Unicode window (every Qt window on
// Windows) receives DEV_BROADCAST_DEVICEINTERFACE_W, whose name is UTF-16LE;
// an ANSI window receives the 8-bit record.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "device_link/device_broadcast.h"

namespace tarvik {

// The largest record worth reading: the header and 256 UTF-16 characters.
// A window reads min(dbcc_size, this) bytes of what lParam points to.
inline constexpr std::size_t kWideBroadcastRecordSize =
    kBroadcastHeaderSize + 2 * kBroadcastNameSize;

// The 8-bit record and how many of its bytes are filled (its size field
// says the same).
struct NarrowBroadcast {
  BroadcastRecord record;
  std::size_t size;
};

// Reads only within the record's own size field and the given size. The
// header is kept as received. For a device-interface record (type 5) the
// name at offset 28 is taken up to its zero, at most 256 characters: a name
// whose first character has a zero high byte is UTF-16LE, and its characters
// outside ASCII become '?' (one for a surrogate pair); any other name is
// already 8-bit and is kept byte for byte. Records of other types keep only
// their header, since their names lie elsewhere. nullopt when even the size
// and the type are incomplete.
std::optional<NarrowBroadcast> NarrowBroadcastRecord(const std::uint8_t* record, std::size_t size);

}  // namespace tarvik
