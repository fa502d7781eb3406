#include "device_link/transfer_buffers.h"

namespace tarvik {

std::uint8_t TxBuf[kTransferBufferSize];
std::uint8_t RxBuf[kTransferBufferSize];
std::uint8_t BootCommands[kBootCommandsSize];

}  // namespace tarvik
