#pragma once
// The tracker's serial bootloader (ST's UART bootloader protocol): the four
// exchanges the program uses. Each makes exactly one attempt; every reply
// byte is read to a fixed position of RxBuf and the verdict is the byte found
// at the command's verdict position, not the result of the writes. A read
// that brings fewer bytes than its wait saw waiting fails the command.
#include <cstdint>

#include "device_link/serial_port.h"
#include "firmware/memory_map.h"

namespace tarvik {

inline constexpr std::uint8_t kSyncByte = 0x7F;
inline constexpr std::uint8_t kAck = 0x79;
inline constexpr std::uint8_t kCmdGet = 0x00;
inline constexpr std::uint8_t kCmdReadMemory = 0x11;
inline constexpr std::uint8_t kCmdWriteMemory = 0x31;

// Waits, in tries of WaitForBytes (a 1-ms sleep and a count query each).
inline constexpr std::uint32_t kTriesAck = 200;
inline constexpr std::uint32_t kTriesGetCount = 100;
inline constexpr std::uint32_t kTriesGetBody = 100;
inline constexpr std::uint32_t kTriesWriteAddrAck = 100;
inline constexpr std::uint32_t kTriesBlock = 500;  // 129-byte read reply / programming of a block

// Where the frames are built in TxBuf.
inline constexpr std::size_t kCmdFramePos = 0;   // CmdFrame, 2 bytes (the sync byte too)
inline constexpr std::size_t kAddrFramePos = 2;  // AddrFrame, 5 bytes
inline constexpr std::size_t kDataFramePos = 7;  // DataFrame, 130 bytes (Read's length frame: 2)
inline constexpr std::size_t kDataFrameSize = 130;

class BootloaderLink : public SerialPort {
 public:
  using SerialPort::SerialPort;

  bool BootSync();
  bool BootGet();
  bool BootReadBlock(std::uint32_t address);
  bool BootWriteBlock(std::uint32_t address);

  std::uint16_t FBootVersion = 0;
  std::uint8_t FBootCmdCount = 0;

 private:
  // Writes a frame, waits for count bytes, reads them to RxBuf[pos] and
  // judges RxBuf[verdictPos]. The write's result is not consulted: a frame
  // that did not go out shows as a missing reply.
  bool Exchange(const std::uint8_t* frame, std::uint16_t frameSize, std::uint32_t tries,
                std::uint16_t count, std::size_t pos, std::size_t verdictPos);
  // Clears RxBuf[verdictPos], then reads count bytes (which a wait has seen
  // waiting) to RxBuf[pos]; false when fewer arrived.
  bool ReadReply(std::uint16_t count, std::size_t pos, std::size_t verdictPos);
  void BuildCmdFrame(std::uint8_t code);
  void BuildAddrFrame(std::uint32_t address);
};

}  // namespace tarvik
