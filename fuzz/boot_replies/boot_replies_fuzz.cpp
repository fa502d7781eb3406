// Whatever the device answers, each command ends in true or false: no read
// or write outside the buffers, no wait beyond its tries, and a Get that
// succeeds never recorded more than 7 command codes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "bootloader_protocol/boot_commands.h"
#include "tests/fakes/fake_serial_api.h"
#include "firmware/firmware_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using tarvik::testing::FakeSerialApi;
  if (size < 2) return 0;
  static const bool imageBuilt = (tarvik::BuildFirmwareImage(), true);
  (void)imageBuilt;

  FakeSerialApi api;
  std::size_t at = 2;
  // Each frame written is answered with the next chunk of the input; a
  // chunk's first byte gives its length.
  api.onWrite = [&](FakeSerialApi& a, const std::vector<std::uint8_t>&) {
    if (at >= size) return;
    const std::size_t n = data[at++] % 160;
    for (std::size_t i = 0; i < n && at < size; ++i) a.incoming.push_back(data[at++]);
  };
  tarvik::BootloaderLink link(api);
  link.FPortOpen = link.OpenPort("COM3");
  const std::uint32_t address = 0x8C00u + (data[1] % 232u) * 0x80u;
  bool ok = false;
  switch (data[0] % 4) {
    case 0: ok = link.BootSync(); break;
    case 1:
      ok = link.BootGet();
      if (ok && link.FBootCmdCount > 7) std::abort();
      break;
    case 2: ok = link.BootReadBlock(address); break;
    default: ok = link.BootWriteBlock(address); break;
  }
  if (api.sleeps > 900) std::abort();  // the longest command waits 900 tries
  (void)ok;
  return 0;
}
