#include "tests/window/pipe_notifications.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "device_link/device_broadcast.h"

namespace tarvik::testing {

PipeNotifications::PipeNotifications() {
  int fds[2];
  if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
    readEnd_ = fds[0];
    writeEnd_ = fds[1];
  }
}

PipeNotifications::~PipeNotifications() {
  if (readEnd_ >= 0) close(readEnd_);
  if (writeEnd_ >= 0) close(writeEnd_);
}

void PipeNotifications::Register(Handler handler) {
  ++registrations;
  handler_ = std::move(handler);
}

void PipeNotifications::Send(std::uint32_t eventCode, const std::string& devicePath) {
  const BroadcastRecord record = BuildBroadcastRecord(kDbtDevtypDeviceInterface, devicePath);
  std::uint8_t message[4 + kBroadcastRecordSize];
  std::memcpy(message, &eventCode, 4);
  std::memcpy(message + 4, record.data(), record.size());
  [[maybe_unused]] const ssize_t n = write(writeEnd_, message, sizeof message);
}

void PipeNotifications::Dispatch() {
  std::uint8_t message[4 + kBroadcastRecordSize];
  while (read(readEnd_, message, sizeof message) == static_cast<ssize_t>(sizeof message)) {
    std::uint32_t eventCode = 0;
    std::memcpy(&eventCode, message, 4);
    if (handler_) handler_(eventCode, message + 4, kBroadcastRecordSize);
  }
}

}  // namespace tarvik::testing
