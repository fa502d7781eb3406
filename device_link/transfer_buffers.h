#pragma once
// The program-lifetime transfer buffers. Frames are built in TxBuf at fixed
// positions and every reply byte lands at a fixed position of RxBuf; the
// input drain of the serial port throws stale bytes into RxBuf as well.
#include <cstddef>
#include <cstdint>

namespace tarvik {

inline constexpr std::size_t kTransferBufferSize = 4096;
inline constexpr std::size_t kBootCommandsSize = 16;

extern std::uint8_t TxBuf[kTransferBufferSize];
extern std::uint8_t RxBuf[kTransferBufferSize];
extern std::uint8_t BootCommands[kBootCommandsSize];

}  // namespace tarvik
