#pragma once
// A serial-port device registered in the Wine prefix's device database for
// the length of one test, the way the bridge's driver leaves one on Windows:
// in the Ports class, with a friendly name and/or a description, exposing a
// device interface of the Ports class GUID (which is also the serial port
// enumerator's interface class). Removed again when the object goes.
#include <optional>
#include <string>

#include <windows.h>
#include <setupapi.h>

namespace tarvik::testing {

struct TestPortsDeviceNames {
  std::optional<std::string> friendlyName;
  std::optional<std::string> description;
  bool exposesInterface = true;
};

class TestPortsDevice {
 public:
  explicit TestPortsDevice(const TestPortsDeviceNames& names);
  ~TestPortsDevice();
  TestPortsDevice(const TestPortsDevice&) = delete;
  TestPortsDevice& operator=(const TestPortsDevice&) = delete;

  // False, with the reason, when the database would not take the device.
  bool registered() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  // Removes the test devices that an interrupted earlier run left behind.
  static void RemoveLeftovers();

 private:
  HDEVINFO set_ = INVALID_HANDLE_VALUE;
  SP_DEVINFO_DATA device_{};
  bool created_ = false;
  std::string error_;
};

}  // namespace tarvik::testing
