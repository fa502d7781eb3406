#pragma once
// The serial platform layer on Windows: every call passes straight through
// to its kernel32 function. Two things are kept on top:
// - only handles that this layer opened and has not closed are used; any
//   other value fails with ERROR_INVALID_HANDLE and no system call, because
//   Windows hands a closed handle's value out again to the next object
//   opened, and a port closed under a running update must not turn its last
//   writes into writes to someone else's file;
// - while a port is open for traffic the system timer runs at 1 ms, so that
//   the 1-ms sleeps of the bootloader waits last about 1 ms and not a whole
//   15.6-ms scheduler tick.
#include <set>

#include "device_link/serial_api.h"

namespace tarvik {

// The system timer's resolution, raised for as long as a port carries traffic.
class TimerResolution {
 public:
  virtual ~TimerResolution() = default;
  // timeBeginPeriod(1); false when the system refused it.
  virtual bool Raise();
  // timeEndPeriod(1); called once for each Raise that succeeded.
  virtual void Restore();
};

class Win32SerialApi : public SerialApi {
 public:
  Win32SerialApi();
  // The timer is borrowed and must outlive this layer.
  explicit Win32SerialApi(TimerResolution& timer);
  Win32SerialApi(const Win32SerialApi&) = delete;
  Win32SerialApi& operator=(const Win32SerialApi&) = delete;
  // Closes the handles still open and gives the timer back.
  ~Win32SerialApi() override;

  PortHandle createFile(const std::string& path, std::uint32_t access, std::uint32_t share,
                        std::uint32_t creation, std::uint32_t attributes) override;
  bool setupComm(PortHandle h, std::uint32_t inQueue, std::uint32_t outQueue) override;
  bool getCommState(PortHandle h, Dcb& dcb) override;
  bool setCommState(PortHandle h, const Dcb& dcb) override;
  bool getCommTimeouts(PortHandle h, CommTimeouts& timeouts) override;
  bool setCommTimeouts(PortHandle h, const CommTimeouts& timeouts) override;
  bool setCommMask(PortHandle h, std::uint32_t mask) override;
  bool clearCommError(PortHandle h, std::uint32_t& errors, ComStat& stat) override;
  bool readFile(PortHandle h, void* buffer, std::uint32_t count, std::uint32_t& read) override;
  bool writeFile(PortHandle h, const void* buffer, std::uint32_t count,
                 std::uint32_t& written) override;
  bool closeHandle(PortHandle h) override;
  void sleep(std::uint32_t milliseconds) override;

 private:
  // True for a handle of this layer; otherwise sets ERROR_INVALID_HANDLE.
  bool owns(PortHandle h) const;
  void forget(PortHandle h);

  TimerResolution ownTimer_;
  TimerResolution& timer_;
  std::set<PortHandle> open_;     // every handle from createFile not yet closed
  std::set<PortHandle> traffic_;  // those opened for reading or writing (not probes)
  bool timerRaised_ = false;
};

}  // namespace tarvik
