// The Linux backends of the device link against fake udev devices. The suites
// run under run_in_testbed.py, each in its own scenario (see CMakeLists.txt):
//   Naming         pure naming rules, no testbed needed
//   BridgePresent  scenario "bridge": the CP210x bridge and an FTDI adapter
//   NoBridge       scenario "nobridge": only the FTDI adapter
//   Hotplug        scenario "hotplug": adapters come and go on request
//   LineDrop       scenario "bridge" with a virtual tracker that hangs up
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bootloader_protocol/boot_commands.h"
#include "device_link/device_broadcast.h"
#include "device_link/device_info_linux.h"
#include "device_link/port_discovery.h"
#include "device_link/serial_api_posix.h"
#include "device_link/udev_notifications_linux.h"

namespace tarvik {
namespace {

constexpr const char* kBridgeName = "Silicon Labs CP210x UART Bridge (COM33)";
constexpr const char* kBridgeDescription = "CP2102 USB to UART Bridge Controller";
constexpr const char* kOtherName =
    "Future Technology Devices International, Ltd FT232 Serial (UART) IC (COM34)";
constexpr const char* kOtherDescription = "FT232R USB UART";
constexpr const char* kBridgePath =
    "\\\\?\\USB#VID_10C4&PID_EA60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
constexpr const char* kOtherPath =
    "\\\\?\\USB#VID_0403&PID_6001#A50285BI#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

bool InTestbed() { return std::getenv("UMOCKDEV_DIR") != nullptr; }

#define REQUIRE_TESTBED()                                                        \
  if (!InTestbed()) GTEST_SKIP() << "run through tests/umockdev/run_in_testbed.py"

// Asks the harness to plug or pull an adapter ("plug", "unplug other", ...);
// true once the change, uevents included, is complete.
bool Testbed(const std::string& command) {
  const char* fdText = std::getenv("TARVIK_TESTBED_CONTROL_FD");
  if (fdText == nullptr) return false;
  const int fd = std::atoi(fdText);
  const std::string line = command + "\n";
  if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return false;
  std::string reply;
  char c = 0;
  while (::read(fd, &c, 1) == 1 && c != '\n') reply.push_back(c);
  return reply == "ok";
}

// ---------------------------------------------------------------------------
// The port list

struct ListedPort {
  std::string friendlyName;
  std::string description;
  bool operator==(const ListedPort&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ListedPort& port) {
  return out << "{\"" << port.friendlyName << "\", \"" << port.description << "\"}";
}

std::optional<std::string> ReadProperty(DeviceInfoApi& api, DevInfoSet set,
                                        const DevInfoData& data, std::uint32_t property) {
  std::uint8_t buffer[kDeviceNameBufferSize];
  buffer[0] = 0xAA;
  std::uint32_t type = 0;
  std::uint32_t required = 0;
  const bool ok = api.getDeviceRegistryProperty(set, data, property, type, buffer,
                                                kDeviceNameBufferSize, required);
  if (!ok) {
    EXPECT_EQ(buffer[0], 0) << "a failed read must leave the buffer empty";
    return std::nullopt;
  }
  return std::string(reinterpret_cast<const char*>(buffer));
}

std::vector<ListedPort> ListPorts(DeviceInfoApi& api) {
  std::vector<ListedPort> ports;
  const DevInfoSet set = api.getClassDevs(PortsClassGuid, kDigcfPresentInterface);
  EXPECT_NE(set, kInvalidDevInfoSet);
  if (set == kInvalidDevInfoSet) return ports;
  DevInfoData data;
  for (std::uint32_t i = 0;; ++i) {
    data.cbSize = sizeof data;
    if (!api.enumDeviceInfo(set, i, data)) break;
    ports.push_back({ReadProperty(api, set, data, kSpdrpFriendlyName).value_or(""),
                     ReadProperty(api, set, data, kSpdrpDeviceDesc).value_or("")});
  }
  EXPECT_TRUE(api.destroyDeviceInfoList(set));
  return ports;
}

// ---------------------------------------------------------------------------
// Notifications

struct Received {
  std::uint32_t eventCode;
  std::uint32_t deviceType;
  std::string name;
  std::size_t size;
};

class NotificationLog {
 public:
  void Register() {
    notifications_.Register([this](std::uint32_t code, const std::uint8_t* record,
                                   std::size_t size) {
      const auto info = ParseBroadcastRecord(record, size);
      ASSERT_TRUE(info.has_value());
      received_.push_back({code, info->deviceType, info->name, size});
    });
  }
  int fd() const { return notifications_.PollDescriptor(); }

  // Waits until `count` notifications have arrived (5 s at most, reached only
  // when something is broken), then takes everything that is queued.
  std::vector<Received> Take(std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (received_.size() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd(), POLLIN, 0};
      if (::poll(&p, 1, 100) > 0) notifications_.Dispatch();
    }
    pollfd p{fd(), POLLIN, 0};
    while (::poll(&p, 1, 0) > 0) notifications_.Dispatch();
    return std::exchange(received_, {});
  }

 private:
  UdevNotifications notifications_;
  std::vector<Received> received_;
};

// ---------------------------------------------------------------------------
// The bootloader at the end of the line

// Opens the port as the program does, syncs and asks for the command list.
bool ConnectAndGet(const std::string& portName) {
  PosixSerialApi serial;
  BootloaderLink link(serial);
  if (!link.OpenPort(portName)) return false;
  link.FPortOpen = true;
  const bool ok = link.BootSync() && link.BootGet();
  link.ClosePort();
  return ok;
}

// ===========================================================================

struct FriendlyNameCase {
  const char* what;
  UsbNameSources sources;
  const char* devnode;
  std::string expected;
};

TEST(Naming, FriendlyNameFollowsLsusbWithPortSuffix) {
  const UsbNameSources cp2102{"Silicon Labs", "CP210x UART Bridge", "Silicon Labs",
                              kBridgeDescription, "Silicon Labs", kBridgeDescription};
  const FriendlyNameCase cases[] = {
      {"hwdb names", cp2102, "/dev/ttyUSB0", kBridgeName},
      {"device strings without hwdb", {"", "", "Silicon Labs", kBridgeDescription, "x", "y"},
       "/dev/ttyUSB0", "Silicon Labs CP2102 USB to UART Bridge Controller (COM33)"},
      {"hwdb knows the vendor only", {"Silicon Labs", "", "SiLabs", "CP2102N", "", ""},
       "/dev/ttyUSB1", "Silicon Labs CP2102N (COM34)"},
      {"udev properties last", {"", "", "", "", "Acme", "Widget"}, "/dev/ttyUSB0",
       "Acme Widget (COM33)"},
      {"model alone", {"", "CP210x UART Bridge", "", "", "", ""}, "/dev/ttyUSB0",
       "CP210x UART Bridge (COM33)"},
      {"ACM node", cp2102, "/dev/ttyACM0", "Silicon Labs CP210x UART Bridge (COM97)"},
      {"on-board UART", cp2102, "/dev/ttyS31", "Silicon Labs CP210x UART Bridge (COM32)"},
      {"node without COM name", cp2102, "/dev/ttyUSB64", "Silicon Labs CP210x UART Bridge"},
      {"other node kind", cp2102, "/dev/ttyAMA0", "Silicon Labs CP210x UART Bridge"},
      {"nothing known", {}, "/dev/ttyUSB0", ""},
      {"control characters", {"Silicon\tLabs\n", "CP210x\rUART Bridge", "", "", "", ""},
       "/dev/ttyUSB0", "Silicon Labs CP210x UART Bridge (COM33)"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(BuildFriendlyName(c.sources, c.devnode), c.expected) << c.what;
}

TEST(Naming, LongNamesKeepThePortSuffixAndWholeCharacters) {
  UsbNameSources ascii;
  ascii.vendorFromDatabase = std::string(300, 'V');
  const std::string cut = BuildFriendlyName(ascii, "/dev/ttyUSB0");
  EXPECT_EQ(cut.size(), kDeviceNameBufferSize - 1);
  EXPECT_EQ(cut.substr(cut.size() - 8), " (COM33)");

  UsbNameSources utf8;  // two-byte characters: no cut may fall inside one
  for (int i = 0; i < 200; ++i) utf8.modelFromDatabase += "\xC3\xA9";
  const std::string name = BuildFriendlyName(utf8, "/dev/ttyUSB0");
  ASSERT_LE(name.size(), kDeviceNameBufferSize - 1);
  const std::string base = name.substr(0, name.size() - 8);
  EXPECT_EQ(base.size() % 2, 0u);
  EXPECT_EQ(name.substr(name.size() - 8), " (COM33)");
}

TEST(Naming, DescriptionIsTheProductString) {
  EXPECT_EQ(BuildDescription({"a", "b", "c", kBridgeDescription, "e", "f"}), kBridgeDescription);
  EXPECT_EQ(BuildDescription({"a", "b", "c", "", "e", "CP2102 Bridge"}), "CP2102 Bridge");
  EXPECT_EQ(BuildDescription({}), "");
}

TEST(Naming, UdevEscapesAreUndone) {
  EXPECT_EQ(DecodeUdevEscapes("Silicon\\x20Labs"), "Silicon Labs");
  EXPECT_EQ(DecodeUdevEscapes("A\\x2cB\\x2C"), "A,B,");
  EXPECT_EQ(DecodeUdevEscapes("cut\\x2"), "cut\\x2");
  EXPECT_EQ(DecodeUdevEscapes("bad\\xg1"), "bad\\xg1");
  EXPECT_EQ(DecodeUdevEscapes(""), "");
}

TEST(Naming, DeviceNodesSortWithNumbersAsNumbers) {
  std::vector<std::string> nodes{"/dev/ttyUSB10", "/dev/ttyUSB2", "/dev/ttyS0", "/dev/ttyACM0",
                                 "/dev/ttyUSB0", "/dev/ttyS10", "/dev/ttyS9"};
  std::sort(nodes.begin(), nodes.end(), DeviceNodeLess);
  EXPECT_EQ(nodes, (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyS9",
                                             "/dev/ttyS10", "/dev/ttyUSB0", "/dev/ttyUSB2",
                                             "/dev/ttyUSB10"}));
}

TEST(Naming, DeviceInterfacePathHasTheWindowsForm) {
  struct Case {
    const char* vendor;
    const char* product;
    const char* instance;
    std::string expected;
  };
  const std::string guid = "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
  const Case cases[] = {
      {"10c4", "ea60", "0001", kBridgePath},
      {"403", "6001", "A#B\\C/D E", "\\\\?\\USB#VID_0403&PID_6001#A_B_C_D_E" + guid},
      {"10C4", "EA60", "", "\\\\?\\USB#VID_10C4&PID_EA60#0" + guid},
      {"10c4", "", "1", ""},
      {"xyz", "ea60", "1", ""},
      {"10c40", "ea60", "1", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(UsbDeviceInterfacePath(c.vendor, c.product, c.instance), c.expected)
        << c.vendor << ":" << c.product << " " << c.instance;
  EXPECT_TRUE(IsTrackerDevice(UsbDeviceInterfacePath("10c4", "ea60", "x")));
}

TEST(Naming, NotificationsStaySilentUntilRegistered) {
  UdevNotifications notifications;
  EXPECT_EQ(notifications.PollDescriptor(), -1);
  notifications.Dispatch();  // nothing to read, nothing to call
}

// ===========================================================================

TEST(BridgePresent, ListsHardwarePortsInNodeOrderWithTheirNames) {
  REQUIRE_TESTBED();
  LinuxDeviceInfoApi api;
  // ttyS0 (a UART without USB names), then ttyUSB0 and ttyUSB1; the virtual
  // consoles and the serial-core port without a UART are left out.
  EXPECT_EQ(ListPorts(api), (std::vector<ListedPort>{{"", ""},
                                                     {kBridgeName, kBridgeDescription},
                                                     {kOtherName, kOtherDescription}}));
}

TEST(BridgePresent, TheSearchByNameFindsTheBridgePort) {
  REQUIRE_TESTBED();
  LinuxDeviceInfoApi api;
  EXPECT_EQ(FindBridgePort(api, PortsClassGuid), "COM33");
}

TEST(BridgePresent, SnapshotHandlesFollowTheSetupApiContract) {
  REQUIRE_TESTBED();
  LinuxDeviceInfoApi api;
  DevInfoData data;
  data.cbSize = sizeof data;

  const Guid otherClass{0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0, 0}};
  const DevInfoSet empty = api.getClassDevs(otherClass, kDigcfPresentInterface);
  ASSERT_NE(empty, kInvalidDevInfoSet);
  EXPECT_FALSE(api.enumDeviceInfo(empty, 0, data));
  EXPECT_TRUE(api.destroyDeviceInfoList(empty));

  const DevInfoSet set = api.getClassDevs(PortsClassGuid, kDigcfPresentInterface);
  ASSERT_NE(set, kInvalidDevInfoSet);
  EXPECT_TRUE(api.enumDeviceInfo(set, 2, data));
  EXPECT_FALSE(api.enumDeviceInfo(set, 3, data));
  EXPECT_FALSE(api.enumDeviceInfo(kInvalidDevInfoSet, 0, data));

  ASSERT_TRUE(api.enumDeviceInfo(set, 1, data));
  EXPECT_EQ(ReadProperty(api, set, data, 5), std::nullopt) << "only names are offered";

  std::uint8_t small[12];
  std::uint32_t type = 0;
  std::uint32_t required = 0;
  ASSERT_TRUE(api.getDeviceRegistryProperty(set, data, kSpdrpFriendlyName, type, small,
                                            sizeof small, required));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(small)), "Silicon Lab");
  EXPECT_EQ(required, std::string(kBridgeName).size() + 1);

  EXPECT_TRUE(api.destroyDeviceInfoList(set));
  EXPECT_FALSE(api.destroyDeviceInfoList(set));
  EXPECT_FALSE(api.enumDeviceInfo(set, 0, data));
  EXPECT_EQ(ReadProperty(api, set, data, kSpdrpFriendlyName), std::nullopt);
}

TEST(BridgePresent, TheProbeOpensTheMappedNodesOfPresentPortsOnly) {
  REQUIRE_TESTBED();
  PosixSerialApi serial;
  for (const char* name : {"COM33", "COM34"}) {
    const PortHandle h = serial.createFile(std::string(kDevicePrefix) + name, 0,
                                           kFileShareRead | kFileShareWrite, kOpenExisting,
                                           kFileAttributeNormal);
    EXPECT_NE(h, kInvalidPortHandle) << name;
    if (h != kInvalidPortHandle) {
      EXPECT_TRUE(serial.closeHandle(h)) << name;
    }
  }
  EXPECT_EQ(serial.createFile(std::string(kDevicePrefix) + "COM35", 0,
                              kFileShareRead | kFileShareWrite, kOpenExisting,
                              kFileAttributeNormal),
            kInvalidPortHandle);
}

TEST(BridgePresent, TheBootloaderAnswersOnTheFoundPortAgainAfterReopening) {
  REQUIRE_TESTBED();
  LinuxDeviceInfoApi api;
  const std::string port = FindBridgePort(api, PortsClassGuid);
  ASSERT_EQ(port, "COM33");
  EXPECT_TRUE(ConnectAndGet(port));
  EXPECT_TRUE(ConnectAndGet(port)) << "a second connect reopens the same pty";
  EXPECT_FALSE(ConnectAndGet("COM34")) << "the FTDI adapter has no bootloader behind it";
}

TEST(BridgePresent, DevicesPresentAtStartRaiseNoNotification) {
  REQUIRE_TESTBED();
  NotificationLog log;
  log.Register();
  ASSERT_GE(log.fd(), 0);
  pollfd p{log.fd(), POLLIN, 0};
  EXPECT_EQ(::poll(&p, 1, 100), 0);
}

// ===========================================================================

TEST(NoBridge, ListsTheOtherAdapterAndNoBridge) {
  REQUIRE_TESTBED();
  LinuxDeviceInfoApi api;
  EXPECT_EQ(ListPorts(api),
            (std::vector<ListedPort>{{"", ""}, {kOtherName, kOtherDescription}}));
  EXPECT_EQ(FindBridgePort(api, PortsClassGuid), "");
}

// ===========================================================================

TEST(Hotplug, BridgeArrivalAndRemovalAreReportedAsDeviceInterfaces) {
  REQUIRE_TESTBED();
  NotificationLog log;
  log.Register();
  ASSERT_GE(log.fd(), 0);

  ASSERT_TRUE(Testbed("plug bridge"));
  auto received = log.Take(1);
  ASSERT_EQ(received.size(), 1u) << "one notification for the tty, none for its parents";
  EXPECT_EQ(received[0].eventCode, kDbtDeviceArrival);
  EXPECT_EQ(received[0].deviceType, kDbtDevtypDeviceInterface);
  EXPECT_EQ(received[0].size, kBroadcastRecordSize);
  EXPECT_EQ(received[0].name, kBridgePath);
  EXPECT_TRUE(IsTrackerDevice(received[0].name));

  ASSERT_TRUE(Testbed("unplug bridge"));
  received = log.Take(1);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].eventCode, kDbtDeviceRemoveComplete);
  EXPECT_EQ(received[0].name, kBridgePath);
}

TEST(Hotplug, TheOtherAdapterIsNeverTakenForTheBridge) {
  REQUIRE_TESTBED();
  NotificationLog log;
  log.Register();

  ASSERT_TRUE(Testbed("plug other"));
  ASSERT_TRUE(Testbed("unplug other"));
  const auto received = log.Take(2);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].eventCode, kDbtDeviceArrival);
  EXPECT_EQ(received[1].eventCode, kDbtDeviceRemoveComplete);
  for (const auto& r : received) {
    EXPECT_EQ(r.name, kOtherPath);
    EXPECT_FALSE(IsTrackerDevice(r.name));
  }
}

TEST(Hotplug, EachPlugInIsFoundAndAnswersAndEachUnplugHangsUpTheOpenPort) {
  REQUIRE_TESTBED();
  NotificationLog log;
  log.Register();
  LinuxDeviceInfoApi api;
  for (int cycle = 1; cycle <= 2; ++cycle) {
    SCOPED_TRACE(cycle);
    EXPECT_EQ(FindBridgePort(api, PortsClassGuid), "");
    ASSERT_TRUE(Testbed("plug"));
    ASSERT_EQ(log.Take(1).size(), 1u);

    // What the idle step does on an arrival: search by name, connect, Get.
    const std::string port = FindBridgePort(api, PortsClassGuid);
    ASSERT_EQ(port, "COM33");
    PosixSerialApi serial;
    BootloaderLink link(serial);
    ASSERT_TRUE(link.OpenPort(port));
    link.FPortOpen = true;
    EXPECT_TRUE(link.BootSync());
    EXPECT_TRUE(link.BootGet());

    ASSERT_TRUE(Testbed("unplug"));
    const auto removal = log.Take(1);
    ASSERT_EQ(removal.size(), 1u);
    EXPECT_EQ(removal[0].eventCode, kDbtDeviceRemoveComplete);
    const std::uint8_t sync = kSyncByte;
    EXPECT_FALSE(link.WriteBytes(&sync, 1)) << "the open port must see the hang-up";
    EXPECT_FALSE(link.BootSync());
    link.ClosePort();
  }
}

// ===========================================================================

// The virtual tracker runs with "--fault hangup:get": the line drops at the
// first Get, as when the bridge is pulled out in the middle of an exchange.
TEST(LineDrop, ALineThatDropsUnderAnOpenPortEndsInARemoval) {
  REQUIRE_TESTBED();
  NotificationLog log;
  log.Register();
  LinuxDeviceInfoApi api;
  ASSERT_EQ(FindBridgePort(api, PortsClassGuid), "COM33");
  PosixSerialApi serial;
  BootloaderLink link(serial);
  ASSERT_TRUE(link.OpenPort("COM33"));
  link.FPortOpen = true;
  EXPECT_TRUE(link.BootSync());
  EXPECT_FALSE(link.BootGet());

  const auto removal = log.Take(1);
  ASSERT_EQ(removal.size(), 1u);
  EXPECT_EQ(removal[0].eventCode, kDbtDeviceRemoveComplete);
  EXPECT_TRUE(IsTrackerDevice(removal[0].name));
  const std::uint8_t sync = kSyncByte;
  EXPECT_FALSE(link.WriteBytes(&sync, 1));
  link.ClosePort();
  EXPECT_EQ(FindBridgePort(api, PortsClassGuid), "");
}

}  // namespace
}  // namespace tarvik
