#pragma once
// Spies that sit between the logic and the real Win32 layers: every call goes
// through unchanged (unless a test asks otherwise) and what the logic asked
// for is kept. A serial line on a pseudo-terminal cannot keep even parity, so
// what OpenPort requested is judged here and not by reading the port back.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device_link/device_info_api.h"
#include "device_link/serial_api.h"
#include "device_link/serial_api_win32.h"

namespace tarvik::testing {

class SpySerialApi : public SerialApi {
 public:
  explicit SpySerialApi(SerialApi& real) : real_(real) {}

  std::vector<std::string> calls;
  std::vector<PortHandle> created;  // every valid handle createFile returned
  std::optional<Dcb> reportedDcb;   // what getCommState last filled in
  std::optional<Dcb> requestedDcb;  // what the logic last gave setCommState
  std::optional<CommTimeouts> requestedTimeouts;
  // Changes the settings on their way to the port (to make it refuse them).
  std::function<void(Dcb&)> alterDcb;

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
  SerialApi& real_;
};

// Counts how often the timer resolution is raised and restored.
class CountingTimer : public TimerResolution {
 public:
  bool refuse = false;  // plays a system that will not raise it
  int raised = 0;
  int restored = 0;
  int held() const { return raised - restored; }

  bool Raise() override {
    if (refuse) return false;
    ++raised;
    return true;
  }
  void Restore() override { ++restored; }
};

class SpyDeviceInfoApi : public DeviceInfoApi {
 public:
  explicit SpyDeviceInfoApi(DeviceInfoApi& real) : real_(real) {}

  struct PropertyRead {
    std::uint32_t property;
    bool ok;
  };
  std::vector<std::string> calls;
  std::vector<std::uint32_t> flags;          // of every getClassDevs
  std::vector<DevInfoSet> setsTaken;         // valid sets getClassDevs returned
  std::vector<DevInfoSet> setsReleased;      // sets destroyDeviceInfoList released
  std::vector<PropertyRead> propertyReads;

  DevInfoSet getClassDevs(const Guid& classGuid, std::uint32_t flags) override;
  bool enumDeviceInfo(DevInfoSet set, std::uint32_t index, DevInfoData& data) override;
  bool getDeviceRegistryProperty(DevInfoSet set, const DevInfoData& data, std::uint32_t property,
                                 std::uint32_t& dataType, std::uint8_t* buffer, std::uint32_t size,
                                 std::uint32_t& requiredSize) override;
  bool destroyDeviceInfoList(DevInfoSet set) override;

 private:
  DeviceInfoApi& real_;
};

}  // namespace tarvik::testing
