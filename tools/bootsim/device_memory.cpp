#include "device_memory.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace bootsim {
namespace {

bool InRegion(std::uint32_t address, std::uint32_t count, std::uint32_t first, std::uint32_t last) {
  // 64-bit sums: an address near 0xFFFFFFFF must not wrap into a region.
  const std::uint64_t end = std::uint64_t{address} + count;
  return count > 0 && address >= first && end <= std::uint64_t{last} + 1;
}

void Place(Memory& memory, std::uint32_t address, std::string_view text) {
  for (char c : text) memory[address++] = static_cast<std::uint8_t>(c);
}

std::string ErrnoText(std::string_view what, const std::string& path) {
  return std::string(what) + " " + path + ": " + std::strerror(errno);
}

}  // namespace

bool IsReadable(std::uint32_t address, std::uint32_t count) {
  return InRegion(address, count, 0, kMemorySize - 1);
}

bool IsWritableAddress(std::uint32_t address) {
  return IsWritableRange(address, 1);
}

bool IsWritableRange(std::uint32_t address, std::uint32_t count) {
  return InRegion(address, count, kEepromFirst, kEepromLast) ||
         InRegion(address, count, kProgramFirst, kProgramLast);
}

Memory BuiltInMemory() {
  Memory memory{};
  Place(memory, 0x1000, "MODE");
  memory[0x1004] = 0x02;
  Place(memory, 0x1010, "OWNR+79991234567");
  Place(memory, 0x1030, "PASS5719");
  for (std::uint32_t a = 0x1100; a <= kEepromLast; ++a) {
    memory[a] = static_cast<std::uint8_t>((a - 0x1100) * 3 + 0x11);
  }
  for (std::uint32_t a = 0x8000; a < 0x8C00; ++a) {
    memory[a] = static_cast<std::uint8_t>(a * 13 + 0x5B);
  }
  for (std::uint32_t a = 0x8C00; a < 0xF800; ++a) {
    memory[a] = static_cast<std::uint8_t>((a - 0x8C00) * 7 + 0x3D);
  }
  return memory;
}

std::string LoadMemory(const std::string& path, Memory& memory) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ErrnoText("cannot open", path);
  std::size_t total = 0;
  std::uint8_t extra = 0;
  std::string error;
  while (total < memory.size()) {
    const ssize_t n = ::read(fd, memory.data() + total, memory.size() - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = ErrnoText("cannot read", path);
      break;
    }
    if (n == 0) break;
    total += static_cast<std::size_t>(n);
  }
  if (error.empty() && (total != memory.size() || ::read(fd, &extra, 1) != 0)) {
    error = path + ": a memory image must be exactly 65536 bytes";
  }
  ::close(fd);
  return error;
}

std::string SaveMemoryAtomically(const std::string& path, const Memory& memory) {
  const std::string temporary = path + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return ErrnoText("cannot create", temporary);
  std::size_t written = 0;
  while (written < memory.size()) {
    const ssize_t n = ::write(fd, memory.data() + written, memory.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  std::string error;
  if (written != memory.size()) error = ErrnoText("cannot write", temporary);
  if (::close(fd) != 0 && error.empty()) error = ErrnoText("cannot write", temporary);
  if (error.empty() && std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = ErrnoText("cannot rename to", path);
  }
  if (!error.empty()) ::unlink(temporary.c_str());
  return error;
}

}  // namespace bootsim
