#pragma once
// An in-process bootloader behind FakeSerialApi, for tests that need many
// complete exchanges and precise faults without a pseudo-terminal. It reads
// whole frames (the program writes each frame in one call) and keeps 64 KiB
// of memory. The external simulator remains the reference device.
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "tests/fakes/fake_serial_api.h"

namespace tarvik::testing {

class FakeBootloader {
 public:
  enum class Command { Get, Read, Write, Other };
  enum class Step { Command, Address, Data };
  // Return a replacement reply (possibly empty: silence) for one step.
  using Fault = std::function<std::optional<std::vector<std::uint8_t>>(Command, std::uint32_t address, Step)>;

  explicit FakeBootloader(FakeSerialApi& api);

  std::vector<std::uint8_t> memory = std::vector<std::uint8_t>(65536, 0);
  Fault fault;
  std::vector<std::uint32_t> writes;  // block addresses programmed
  std::vector<std::uint32_t> reads;   // block addresses read

 private:
  void onFrame(FakeSerialApi& api, const std::vector<std::uint8_t>& frame);
  void reply(FakeSerialApi& api, std::vector<std::uint8_t> bytes, Step step);

  enum class State { Idle, Address, Length, Data } state_ = State::Idle;
  Command command_ = Command::Other;
  std::uint32_t address_ = 0;
};

}  // namespace tarvik::testing
