#pragma once
// Device-change notifications through a pipe, as the udev monitor brings
// them through its socket: a test (or the soak) sends an arrival or a
// removal, and the window reads it when its loop runs.
#include <cstdint>
#include <string>

#include "device_link/device_notifications.h"

namespace tarvik::testing {

// The bridge's device path as its notifications name it.
inline constexpr char kBridgePath[] =
    "\\\\?\\USB#VID_10C4&PID_EA60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

class PipeNotifications : public DeviceNotifications {
 public:
  PipeNotifications();
  ~PipeNotifications() override;
  void Register(Handler handler) override;
  int PollDescriptor() const override { return readEnd_; }
  void Dispatch() override;

  // Queues one notification; the window reads it when its loop runs.
  void Send(std::uint32_t eventCode, const std::string& devicePath);

  int registrations = 0;

 private:
  Handler handler_;
  int readEnd_ = -1;
  int writeEnd_ = -1;
};

}  // namespace tarvik::testing
