// The device-change handler takes any record: it reads only what the record
// holds and records at most an arrival or a removal of the bridge.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "tests/fakes/fake_device_info_api.h"
#include "tests/fakes/fake_serial_api.h"
#include "update_engine/updater.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  tarvik::testing::FakeSerialApi serial;
  tarvik::testing::FakeDeviceInfoApi devices;
  tarvik::Updater updater(serial, devices);
  const std::uint32_t codes[] = {0x8000, 0x8004, 0x8001, 0x0007};
  const std::uint32_t code = codes[data[0] % 4];
  // An exactly sized copy, so that any read past the record is caught.
  const std::size_t n = size - 1;
  std::unique_ptr<std::uint8_t[]> record(new std::uint8_t[n ? n : 1]);
  if (n) std::memcpy(record.get(), data + 1, n);
  updater.WMDeviceChange(code, n ? record.get() : nullptr, n);
  if (updater.FDeviceEvent > tarvik::kDeviceEventRemoval) std::abort();
  if (updater.FDeviceEvent != 0 && code != 0x8000 && code != 0x8004) std::abort();
  return 0;
}
