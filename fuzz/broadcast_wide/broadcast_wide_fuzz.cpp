// Any received record turns into an 8-bit record that the handler can read
// within its size: the narrowing reads only what the record holds, keeps the
// device type, and leaves no character outside ASCII from a UTF-16 name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "device_link/device_broadcast.h"
#include "device_link/device_broadcast_wide.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exactly sized copy, so that any read past the record is caught.
  std::unique_ptr<std::uint8_t[]> received(new std::uint8_t[size ? size : 1]);
  if (size) std::memcpy(received.get(), data, size);
  const auto narrow = tarvik::NarrowBroadcastRecord(size ? received.get() : nullptr, size);
  if (!narrow) return 0;
  if (narrow->size < 8 || narrow->size > tarvik::kBroadcastRecordSize) std::abort();

  std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[narrow->size]);
  std::memcpy(exact.get(), narrow->record.data(), narrow->size);
  const auto info = tarvik::ParseBroadcastRecord(exact.get(), narrow->size);
  if (!info) std::abort();
  std::uint32_t type = 0;
  std::memcpy(&type, data + 4, 4);  // the hosts this runs on are little-endian
  if (info->deviceType != type) std::abort();
  if (info->name.size() > tarvik::kBroadcastNameSize) std::abort();
  if (info->deviceType != tarvik::kDbtDevtypDeviceInterface && !info->name.empty()) std::abort();
  // A UTF-16 name (zero second byte) comes out as ASCII only.
  std::uint32_t declared = 0;
  std::memcpy(&declared, data, 4);
  const std::size_t usable = declared < size ? declared : size;
  const bool wide = type == tarvik::kDbtDevtypDeviceInterface && usable >= 30 && data[28] != 0 &&
                    data[29] == 0;
  if (wide)
    for (const char c : info->name)
      if (static_cast<unsigned char>(c) >= 0x80) std::abort();
  return 0;
}
