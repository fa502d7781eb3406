// A Unicode window receives device-change records with UTF-16LE names; they
// reach the handler as the 8-bit record it reads, and never cause a read
// past the record.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "device_link/device_broadcast.h"
#include "device_link/device_broadcast_wide.h"
#include "tests/fakes/fake_device_info_api.h"
#include "tests/fakes/fake_serial_api.h"
#include "update_engine/updater.h"

namespace tarvik {
namespace {

using Bytes = std::vector<std::uint8_t>;

const char16_t* kWideBridgePath =
    u"\\\\?\\USB#VID_10C4&PID_EA60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

void PutU32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// DEV_BROADCAST_DEVICEINTERFACE_W as Windows fills it: the size field counts
// the header, the name and its zero.
Bytes WideRecord(std::uint32_t type, std::u16string_view name, bool terminated = true) {
  const std::size_t units = name.size() + (terminated ? 1 : 0);
  Bytes bytes(kBroadcastHeaderSize + 2 * units, 0);
  PutU32(bytes, 0, static_cast<std::uint32_t>(bytes.size()));
  PutU32(bytes, 4, type);
  for (std::size_t i = 0; i < name.size(); ++i) {
    bytes[kBroadcastHeaderSize + 2 * i] = static_cast<std::uint8_t>(name[i] & 0xFF);
    bytes[kBroadcastHeaderSize + 2 * i + 1] = static_cast<std::uint8_t>(name[i] >> 8);
  }
  return bytes;
}

Bytes NarrowRecord(std::uint32_t type, std::string_view name) {
  const auto record = BuildBroadcastRecord(type, name);
  // As Windows sizes it: the header, the name and its zero.
  Bytes bytes(record.begin(), record.begin() + kBroadcastHeaderSize + name.size() + 1);
  PutU32(bytes, 0, static_cast<std::uint32_t>(bytes.size()));
  return bytes;
}

// The name the handler reads from the narrowed record, read from an exactly
// sized copy so that a size field claiming more than was filled is caught.
std::optional<std::string> NameAfterNarrowing(const Bytes& received, std::size_t size) {
  const auto narrow = NarrowBroadcastRecord(received.data(), size);
  if (!narrow) return std::nullopt;
  EXPECT_LE(narrow->size, kBroadcastRecordSize);
  std::uint32_t sizeField = 0;
  std::memcpy(&sizeField, narrow->record.data(), 4);
  EXPECT_EQ(sizeField, narrow->size) << "the size field tells the handler where the record ends";
  const Bytes exact(narrow->record.begin(), narrow->record.begin() + narrow->size);
  const auto info = ParseBroadcastRecord(exact.data(), exact.size());
  if (!info) return std::nullopt;
  return info->name;
}

TEST(WideBroadcast, NamesReachTheHandlerAsEightBitText) {
  struct Row {
    const char* what;
    Bytes received;
    std::string name;
  };
  const std::u16string longName(300, u'a');
  const Row rows[] = {
      {"UTF-16 device path", WideRecord(5, kWideBridgePath),
       "\\\\?\\USB#VID_10C4&PID_EA60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"},
      {"8-bit path unchanged", NarrowRecord(5, "\\\\?\\usb#vid_10c4&pid_ea60#1"),
       "\\\\?\\usb#vid_10c4&pid_ea60#1"},
      {"8-bit bytes above ASCII kept", NarrowRecord(5, "USB#\xC4\xE0#1"), "USB#\xC4\xE0#1"},
      {"Cyrillic letters", WideRecord(5, u"USB#Мост#1"), "USB#????#1"},
      {"surrogate pair is one character", WideRecord(5, u"USB#\U0001F50C#1"), "USB#?#1"},
      {"lone surrogates", WideRecord(5, u"USB#\xD800#\xDC00"), "USB#?#?"},
      {"one character", WideRecord(5, u"X"), "X"},
      {"empty name", WideRecord(5, u""), ""},
      {"at most 256 characters", WideRecord(5, longName), std::string(256, 'a')},
      {"no zero at the end", WideRecord(5, u"USB#VID_10C4", false), "USB#VID_10C4"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(NameAfterNarrowing(row.received, row.received.size()), row.name) << row.what;
  }
}

TEST(WideBroadcast, ReadsOnlyWithinTheSizeFieldAndTheGivenSize) {
  struct Row {
    const char* what;
    std::uint32_t sizeField;  // 0: as built
    std::size_t given;        // bytes the caller may read
    std::optional<std::string> name;
  };
  const Bytes full = WideRecord(5, u"USB#VID_10C4&PID_EA60");  // 28 + 44 bytes
  const Row rows[] = {
      {"size field cuts the name", 28 + 2 * 4, full.size(), "USB#"},
      {"size field cuts a character in half", 28 + 2 * 4 + 1, full.size(), "USB#"},
      {"given size cuts the name", 0, 28 + 2 * 8, "USB#VID_"},
      {"header only", 28, full.size(), ""},
      {"size and type only", 8, full.size(), ""},
      {"size field below the type", 7, full.size(), std::nullopt},
      {"given size below the type", 0, 7, std::nullopt},
      {"size field larger than the record", 0xFFFFFFFF, full.size(), "USB#VID_10C4&PID_EA60"},
  };
  for (const auto& row : rows) {
    Bytes record = full;
    if (row.sizeField != 0) PutU32(record, 0, row.sizeField);
    // An exactly sized copy of what may be read, so that any read past it is caught.
    std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[row.given]);
    std::memcpy(exact.get(), record.data(), std::min(row.given, record.size()));
    const auto narrow = NarrowBroadcastRecord(exact.get(), row.given);
    ASSERT_EQ(narrow.has_value(), row.name.has_value()) << row.what;
    if (!narrow) continue;
    const auto info = ParseBroadcastRecord(narrow->record.data(), narrow->size);
    ASSERT_TRUE(info) << row.what;
    EXPECT_EQ(info->deviceType, 5u) << row.what;
    EXPECT_EQ(info->name, *row.name) << row.what;
  }
  EXPECT_FALSE(NarrowBroadcastRecord(nullptr, 284));
}

TEST(WideBroadcast, OtherRecordTypesKeepTheirHeaderOnly) {
  // A port record (DEV_BROADCAST_PORT_W) has its name at offset 12.
  Bytes port = WideRecord(kDbtDevtypPort, u"");
  port.resize(12 + 2 * 6, 0);
  PutU32(port, 0, static_cast<std::uint32_t>(port.size()));
  const char16_t com12[] = u"COM12";
  for (int i = 0; i < 5; ++i) port[12 + 2 * i] = static_cast<std::uint8_t>(com12[i]);
  const auto narrow = NarrowBroadcastRecord(port.data(), port.size());
  ASSERT_TRUE(narrow);
  EXPECT_EQ(narrow->size, port.size());
  const auto info = ParseBroadcastRecord(narrow->record.data(), narrow->size);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->deviceType, kDbtDevtypPort);
  EXPECT_EQ(info->name, "");
}

TEST(WideBroadcast, TheHandlerRecordsABridgeNamedInUtf16) {
  struct Row {
    const char* what;
    std::uint32_t code;
    Bytes received;
    std::uint8_t pendingAfter;
  };
  const Row rows[] = {
      {"arrival", kDbtDeviceArrival, WideRecord(5, kWideBridgePath), kDeviceEventArrival},
      {"removal", kDbtDeviceRemoveComplete, WideRecord(5, kWideBridgePath), kDeviceEventRemoval},
      {"lower case", kDbtDeviceArrival, WideRecord(5, u"\\\\?\\usb#vid_10c4&pid_ea60#2"),
       kDeviceEventArrival},
      {"other product", kDbtDeviceArrival, WideRecord(5, u"\\\\?\\USB#VID_10C4&PID_EA61#1"),
       kDeviceEventNone},
      {"port record", kDbtDeviceArrival, WideRecord(kDbtDevtypPort, kWideBridgePath),
       kDeviceEventNone},
  };
  for (const auto& row : rows) {
    testing::FakeSerialApi api;
    testing::FakeDeviceInfoApi devices;
    Updater updater(api, devices);
    const auto narrow = NarrowBroadcastRecord(row.received.data(), row.received.size());
    ASSERT_TRUE(narrow) << row.what;
    updater.WMDeviceChange(row.code, narrow->record.data(), narrow->size);
    EXPECT_EQ(updater.FDeviceEvent, row.pendingAfter) << row.what;
  }
}

}  // namespace
}  // namespace tarvik
