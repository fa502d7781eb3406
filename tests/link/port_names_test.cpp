#include <gtest/gtest.h>

#include "device_link/port_names.h"

namespace tarvik {
namespace {

TEST(PortNames, MapBothWays) {
  struct Row {
    const char* port;
    const char* node;  // nullptr: no node
  };
  const Row rows[] = {
      {"COM1", "/dev/ttyS0"},     {"COM32", "/dev/ttyS31"},    {"COM33", "/dev/ttyUSB0"},
      {"COM96", "/dev/ttyUSB63"}, {"COM97", "/dev/ttyACM0"},   {"COM160", "/dev/ttyACM63"},
      {"COM0", nullptr},          {"COM161", nullptr},         {"COM250", nullptr},
      {"COM01", nullptr},         {"COM", nullptr},            {"com5", nullptr},
      {"COM5x", nullptr},         {"COM-1", nullptr},          {"COM99999999999", nullptr},
  };
  for (const auto& row : rows) {
    const auto node = DeviceNodeForPort(row.port);
    if (row.node == nullptr) {
      EXPECT_FALSE(node) << row.port;
      continue;
    }
    ASSERT_TRUE(node) << row.port;
    EXPECT_EQ(*node, row.node);
    EXPECT_EQ(PortForDeviceNode(row.node).value_or(""), row.port);
  }
  EXPECT_FALSE(PortForDeviceNode("/dev/ttyUSB64"));
  EXPECT_FALSE(PortForDeviceNode("/dev/pts/3"));
  EXPECT_FALSE(PortForDeviceNode("/dev/ttyS"));
  EXPECT_EQ(StripDevicePrefix("\\\\.\\COM7"), "COM7");
  EXPECT_EQ(StripDevicePrefix("COM7"), "COM7");
}

}  // namespace
}  // namespace tarvik
