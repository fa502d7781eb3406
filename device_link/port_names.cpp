#include "device_link/port_names.h"

#include <array>
#include <charconv>

namespace tarvik {
namespace {

struct NodeRange {
  const char* prefix;  // node path without its number
  unsigned firstCom;
  unsigned count;
};

constexpr std::array<NodeRange, 3> kRanges{{
    {"/dev/ttyS", 1, 32},
    {"/dev/ttyUSB", 33, 64},
    {"/dev/ttyACM", 97, 64},
}};

// Decimal digits without a sign or a leading zero; nullopt otherwise.
std::optional<unsigned> ParseNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 6 || (digits.size() > 1 && digits[0] == '0'))
    return std::nullopt;
  unsigned value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string_view StripDevicePrefix(std::string_view path) {
  constexpr std::string_view prefix = "\\\\.\\";
  if (path.substr(0, prefix.size()) == prefix) path.remove_prefix(prefix.size());
  return path;
}

std::optional<std::string> DeviceNodeForPort(std::string_view portName) {
  if (portName.substr(0, 3) != "COM") return std::nullopt;
  const auto number = ParseNumber(portName.substr(3));
  if (!number) return std::nullopt;
  for (const auto& range : kRanges) {
    if (*number >= range.firstCom && *number < range.firstCom + range.count)
      return std::string(range.prefix) + std::to_string(*number - range.firstCom);
  }
  return std::nullopt;
}

std::optional<std::string> PortForDeviceNode(std::string_view node) {
  for (const auto& range : kRanges) {
    const std::string_view prefix(range.prefix);
    if (node.substr(0, prefix.size()) != prefix) continue;
    const auto index = ParseNumber(node.substr(prefix.size()));
    if (index && *index < range.count) return "COM" + std::to_string(range.firstCom + *index);
  }
  return std::nullopt;
}

}  // namespace tarvik
