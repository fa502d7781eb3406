#include "bootloader_protocol/boot_commands.h"

#include <cstring>

#include "device_link/transfer_buffers.h"
#include "firmware/firmware_image.h"

namespace tarvik {

void BootloaderLink::BuildCmdFrame(std::uint8_t code) {
  TxBuf[kCmdFramePos] = code;
  TxBuf[kCmdFramePos + 1] = static_cast<std::uint8_t>(code ^ 0xFF);
}

void BootloaderLink::BuildAddrFrame(std::uint32_t address) {
  std::uint8_t* frame = TxBuf + kAddrFramePos;
  frame[0] = static_cast<std::uint8_t>(address >> 24);
  frame[1] = static_cast<std::uint8_t>(address >> 16);
  frame[2] = static_cast<std::uint8_t>(address >> 8);
  frame[3] = static_cast<std::uint8_t>(address);
  frame[4] = static_cast<std::uint8_t>(frame[0] ^ frame[1] ^ frame[2] ^ frame[3]);
}

bool BootloaderLink::ReadReply(std::uint16_t count, std::size_t pos, std::size_t verdictPos) {
  // Cleared first: a read that brings nothing must not leave the ACK of an
  // earlier step (or of an earlier command) standing in for this reply.
  RxBuf[verdictPos] = 0x00;
  std::uint32_t received = 0;
  ReadBytes(RxBuf + pos, count, received);
  // The wait saw every byte waiting, so a short read means they were lost on
  // the way (a read error, the bridge pulled out): what RxBuf holds past the
  // bytes received is not this reply.
  return received == count;
}

bool BootloaderLink::Exchange(const std::uint8_t* frame, std::uint16_t frameSize,
                              std::uint32_t tries, std::uint16_t count, std::size_t pos,
                              std::size_t verdictPos) {
  WriteBytes(frame, frameSize);
  if (!WaitForBytes(tries, count)) return false;
  return ReadReply(count, pos, verdictPos) && RxBuf[verdictPos] == kAck;
}

bool BootloaderLink::BootSync() {
  PurgeInput();
  RxBuf[0] = 0x00;
  TxBuf[kCmdFramePos] = kSyncByte;
  return Exchange(TxBuf + kCmdFramePos, 1, kTriesAck, 1, 0, 0);
}

bool BootloaderLink::BootGet() {
  PurgeInput();
  std::memset(RxBuf, 0, kTransferBufferSize);
  std::memset(BootCommands, 0, kBootCommandsSize);
  BuildCmdFrame(kCmdGet);
  if (!Exchange(TxBuf + kCmdFramePos, 2, kTriesAck, 1, 0, 0)) return false;

  if (!WaitForBytes(kTriesGetCount, 1) || !ReadReply(1, 1, 1)) return false;
  const std::uint8_t n = RxBuf[1];
  FBootCmdCount = n;
  // The reply must fit: version, N codes and the closing ACK in RxBuf 2..N+3,
  // and N codes in the 16 bytes of BootCommands. A real bootloader sends 5.
  if (n + 2 >= 10) return false;

  const auto rest = static_cast<std::uint16_t>(n + 2);
  if (!WaitForBytes(kTriesGetBody, rest) || !ReadReply(rest, 2, n + 3u)) return false;
  if (RxBuf[n + 3] != kAck) return false;

  FBootVersion = RxBuf[2];
  std::memcpy(BootCommands, RxBuf + 3, n);
  return true;
}

bool BootloaderLink::BootReadBlock(std::uint32_t address) {
  PurgeInput();
  std::memset(RxBuf, 0, kTransferBufferSize);
  BuildCmdFrame(kCmdReadMemory);
  BuildAddrFrame(address);
  TxBuf[kDataFramePos] = kBlockBytes - 1;
  TxBuf[kDataFramePos + 1] = static_cast<std::uint8_t>((kBlockBytes - 1) ^ 0xFF);

  // All three replies are judged at position 0; each read clears it first.
  return Exchange(TxBuf + kCmdFramePos, 2, kTriesAck, 1, 0, 0) &&
         Exchange(TxBuf + kAddrFramePos, 5, kTriesAck, 1, 0, 0) &&
         Exchange(TxBuf + kDataFramePos, 2, kTriesBlock, kBlockBytes + 1, 0, 0);
}

bool BootloaderLink::BootWriteBlock(std::uint32_t address) {
  // A block must lie inside the image; an address past 0xFF80 would send
  // bytes from beyond its end, so it is refused before anything is sent.
  if (address > kFirmwareImageSize - kBlockBytes) return false;
  PurgeInput();
  std::memset(RxBuf, 0, kTransferBufferSize);
  BuildCmdFrame(kCmdWriteMemory);
  BuildAddrFrame(address);
  std::uint8_t* frame = TxBuf + kDataFramePos;
  frame[0] = kBlockBytes - 1;
  std::uint8_t checksum = frame[0];
  for (std::uint32_t i = 0; i < kBlockBytes; ++i) {
    const std::uint8_t byte = FirmwareImage[address + i];
    frame[1 + i] = byte;
    checksum ^= byte;
  }
  frame[kDataFrameSize - 1] = checksum;

  return Exchange(TxBuf + kCmdFramePos, 2, kTriesAck, 1, 0, 0) &&
         Exchange(TxBuf + kAddrFramePos, 5, kTriesWriteAddrAck, 1, 1, 1) &&
         Exchange(frame, kDataFrameSize, kTriesBlock, 1, 2, 2);
}

}  // namespace tarvik
