#include "tests/bootsim/bootloader_script.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tarvik::testing::script {
namespace {

using namespace std::chrono_literals;

// Long enough for any reply of an unpaced simulator, short enough that a
// missing reply does not drag the suite.
constexpr auto kReplyTimeout = 2000ms;
constexpr auto kSilenceWindow = 100ms;
constexpr auto kAfterwardsWindow = 20ms;

}  // namespace

Bytes Address(std::uint32_t address) {
  Bytes frame{static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16),
              static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
  frame.push_back(frame[0] ^ frame[1] ^ frame[2] ^ frame[3]);
  return frame;
}

Bytes Length(std::size_t count) {
  const auto n = static_cast<std::uint8_t>(count - 1);
  return {n, static_cast<std::uint8_t>(n ^ 0xFF)};
}

Bytes DataFrame(std::span<const std::uint8_t> data) {
  const auto n = static_cast<std::uint8_t>(data.size() - 1);
  Bytes frame{n};
  std::uint8_t checksum = n;
  for (std::uint8_t byte : data) {
    frame.push_back(byte);
    checksum ^= byte;
  }
  frame.push_back(checksum);
  return frame;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes TestMemory() {
  Bytes memory(0x10000);
  for (std::size_t a = 0; a < memory.size(); ++a) {
    memory[a] = static_cast<std::uint8_t>(a * 31 + (a >> 8) + 1);
  }
  return memory;
}

Bytes Slice(const Bytes& memory, std::uint32_t address, std::size_t count) {
  return Bytes(memory.begin() + address, memory.begin() + address + count);
}

Bytes Inverted(const Bytes& memory, std::uint32_t address, std::size_t count) {
  Bytes bytes = Slice(memory, address, count);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(~byte);
  return bytes;
}

void Play(SerialPeer& peer, const std::vector<Exchange>& exchanges, const std::string& label) {
  for (std::size_t i = 0; i < exchanges.size(); ++i) {
    const auto& exchange = exchanges[i];
    peer.send(exchange.send);
    if (exchange.expect.empty()) {
      EXPECT_EQ(peer.receiveFor(kSilenceWindow), Bytes{}) << label << ", exchange " << i;
    } else {
      EXPECT_EQ(peer.receive(exchange.expect.size(), kReplyTimeout), exchange.expect)
          << label << ", exchange " << i;
    }
  }
  EXPECT_EQ(peer.receiveFor(kAfterwardsWindow), Bytes{}) << label << ": bytes after the last reply";
}

bool Write(SerialPeer& peer, std::uint32_t address, std::span<const std::uint8_t> data) {
  peer.send(kWriteCmd);
  if (peer.receive(1, kReplyTimeout) != kAck) return false;
  peer.send(Address(address));
  if (peer.receive(1, kReplyTimeout) != kAck) return false;
  peer.send(DataFrame(data));
  return peer.receive(1, kReplyTimeout) == kAck;
}

std::optional<Bytes> Read(SerialPeer& peer, std::uint32_t address, std::size_t count) {
  peer.send(kReadCmd);
  if (peer.receive(1, kReplyTimeout) != kAck) return std::nullopt;
  peer.send(Address(address));
  if (peer.receive(1, kReplyTimeout) != kAck) return std::nullopt;
  peer.send(Length(count));
  auto reply = peer.receive(count + 1, kReplyTimeout);
  if (reply.size() != count + 1 || reply[0] != kAck[0]) return std::nullopt;
  reply.erase(reply.begin());
  return reply;
}

}  // namespace tarvik::testing::script
