// The virtual tracker's memory: one 64 KiB address space.
//
// Memory map (addresses a Read Memory or Write Memory command may name):
//
//   0x0000-0x0FFF  RAM and registers      read only (as far as the bootloader goes), zero
//   0x1000-0x13FF  data EEPROM, 1 KiB      read and write
//                    0x1000-0x10FF  user settings (mode, owner's number, password)
//                    0x1100-0x13FF  factory data
//   0x1400-0x7FFF  unmapped                read only, zero
//   0x8000-0xFFFF  program memory, 32 KiB  read and write
//                    0x8000-0x8BFF  the tracker's resident bootloader
//                    0x8C00-...     the application firmware
//
// Any address with a nonzero upper half (0x10000 and above) lies outside the
// device. A read or write must lie wholly inside one region; one that would run
// past the end of its region is refused. Erased flash and EEPROM read 0x00, as
// on the STM8 family.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace bootsim {

inline constexpr std::size_t kMemorySize = 0x10000;
using Memory = std::array<std::uint8_t, kMemorySize>;

inline constexpr std::uint32_t kEepromFirst = 0x1000;
inline constexpr std::uint32_t kEepromLast = 0x13FF;
inline constexpr std::uint32_t kProgramFirst = 0x8000;
inline constexpr std::uint32_t kProgramLast = 0xFFFF;

// True when `count` bytes from `address` lie inside the address space.
bool IsReadable(std::uint32_t address, std::uint32_t count);
// True when `address` lies in a writable region (data EEPROM or program memory).
bool IsWritableAddress(std::uint32_t address);
// True when `count` bytes from `address` lie inside one writable region.
bool IsWritableRange(std::uint32_t address, std::uint32_t count);

// The built-in contents: a tracker running older firmware, with user settings.
//   0x1000 "MODE" 0x02                 operating mode 2
//   0x1010 "OWNR" "+79991234567"       the owner's telephone number
//   0x1030 "PASS" "5719"               the password
//   (rest of 0x1000-0x10FF zero)
//   0x1100-0x13FF  older factory data:  byte = ((a - 0x1100) * 3 + 0x11) mod 256
//   0x8000-0x8BFF  resident bootloader: byte = (a * 13 + 0x5B) mod 256
//   0x8C00-0xF7FF  older firmware:      byte = ((a - 0x8C00) * 7 + 0x3D) mod 256
//   everything else zero (the older firmware is shorter than the current one).
Memory BuiltInMemory();

// Reads a memory image of exactly kMemorySize bytes. Returns an empty string on
// success, else what went wrong.
std::string LoadMemory(const std::string& path, Memory& memory);

// Writes the memory image through a temporary file in the same directory and a
// rename, so that a reader never sees a half-written file.
std::string SaveMemoryAtomically(const std::string& path, const Memory& memory);

}  // namespace bootsim
