#include "device_link/serial_port.h"

#include <algorithm>
#include <utility>

#include "device_link/transfer_buffers.h"

namespace tarvik {

bool SerialPort::OpenPort(const std::string& name) {
  FPortHandle = api_.createFile(kDevicePrefix + name, kGenericRead | kGenericWrite,
                                kFileShareRead | kFileShareWrite, kOpenExisting,
                                kFileAttributeNormal);
  if (FPortHandle == kInvalidPortHandle) return false;

  bool ok = api_.setupComm(FPortHandle, kInQueueSize, kOutQueueSize) &&
            api_.getCommState(FPortHandle, FDCB);
  if (ok) {
    FDCB.BaudRate = kBaudRate;
    FDCB.ByteSize = 8;
    FDCB.Parity = kEvenParity;
    FDCB.StopBits = kOneStopBit;
    ok = api_.setCommState(FPortHandle, FDCB) && api_.getCommTimeouts(FPortHandle, FTimeouts);
  }
  if (ok) {
    FTimeouts.ReadIntervalTimeout = kReadIntervalTimeout;
    FTimeouts.ReadTotalTimeoutMultiplier = kReadTotalMultiplier;
    FTimeouts.ReadTotalTimeoutConstant = kReadTotalConstant;
    FTimeouts.WriteTotalTimeoutMultiplier = kWriteTotalMultiplier;
    FTimeouts.WriteTotalTimeoutConstant = kWriteTotalConstant;
    ok = api_.setCommTimeouts(FPortHandle, FTimeouts) &&
         api_.setCommMask(FPortHandle, kEvRxChar | kEvTxEmpty);
  }
  if (!ok) {
    api_.closeHandle(FPortHandle);
    FPortHandle = kInvalidPortHandle;
  }
  return ok;
}

std::int32_t SerialPort::InQueueCount() {
  if (!FPortOpen) return 0;
  std::uint32_t errors = 0;
  ComStat stat{};
  if (!api_.clearCommError(FPortHandle, errors, stat)) return 0;
  return static_cast<std::int32_t>(stat.cbInQue);
}

bool SerialPort::ReadBytes(void* buffer, std::uint16_t count, std::uint32_t& received) {
  received = 0;
  std::uint32_t got = 0;
  const bool ok = api_.readFile(FPortHandle, buffer, count, got);
  received = got;
  return ok && got == count;
}

bool SerialPort::WriteBytes(const void* buffer, std::uint16_t count) {
  if (count == 0) return true;
  std::uint32_t written = 0;
  return api_.writeFile(FPortHandle, buffer, count, written) && written == count;
}

void SerialPort::PurgeInput() {
  const std::int32_t waiting = InQueueCount();
  if (waiting <= 0) return;
  std::uint32_t left = static_cast<std::uint32_t>(waiting);
  while (left > 0) {
    const auto chunk = std::min<std::uint32_t>(left, kTransferBufferSize);
    std::uint32_t got = 0;
    if (!api_.readFile(FPortHandle, RxBuf, chunk, got) || got == 0) return;
    left -= std::min(got, left);
  }
}

bool SerialPort::WaitForBytes(std::uint32_t tries, std::uint16_t count) {
  for (std::uint32_t i = 0; i < tries; ++i) {
    // The tries that found too few bytes, counted across waits: however
    // short the waits, the hook runs after every kTriesPerWaitHook of them.
    // A tracker that answers at once never meets it.
    if (waitHook_ && !inWaitHook_ && triesSinceHook_ >= kTriesPerWaitHook) {
      if (FPortOpen) {
        inWaitHook_ = true;
        waitHook_();
        inWaitHook_ = false;
        triesSinceHook_ = 0;
      }
      // Closed from the window (Cancel, the close box), in the hook or
      // before the wait: no byte can come any more, and the handle is gone.
      if (!FPortOpen) return false;
    }
    api_.sleep(1);
    if (InQueueCount() >= count) return true;
    ++triesSinceHook_;
  }
  return false;
}

void SerialPort::SetWaitHook(std::function<void()> hook) {
  waitHook_ = std::move(hook);
  triesSinceHook_ = 0;
}

void SerialPort::ClosePort() {
  if (FPortOpen && FPortHandle != kInvalidPortHandle) api_.closeHandle(FPortHandle);
  FPortOpen = false;
  FPortHandle = kInvalidPortHandle;
}

}  // namespace tarvik
