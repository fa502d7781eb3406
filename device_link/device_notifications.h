#pragma once
// Where device arrival and removal notifications come from. The window
// registers once, as the last step of its creation, and hands every
// notification to its device-change handler as the broadcast record's bytes.
// On Linux a udev monitor feeds it (watched through PollDescriptor); on
// Windows the window's native event handler receives WM_DEVICECHANGE itself.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace tarvik {

class DeviceNotifications {
 public:
  using Handler =
      std::function<void(std::uint32_t eventCode, const std::uint8_t* record, std::size_t size)>;
  virtual ~DeviceNotifications() = default;
  // Starts delivering notifications to handler; failure is silent (the wizard
  // then simply never connects on its own).
  virtual void Register(Handler handler) = 0;
  // Becomes readable when notifications wait; -1 when there is nothing to watch.
  virtual int PollDescriptor() const = 0;
  // Reads what waits and passes each notification to the handler.
  virtual void Dispatch() = 0;
};

}  // namespace tarvik
