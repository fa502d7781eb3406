#include "tests/fakes/fake_bootloader.h"

namespace tarvik::testing {
namespace {
constexpr std::uint8_t kAckByte = 0x79;
constexpr std::uint8_t kNackByte = 0x1F;
}  // namespace

FakeBootloader::FakeBootloader(FakeSerialApi& api) {
  api.onWrite = [this](FakeSerialApi& a, const std::vector<std::uint8_t>& f) { onFrame(a, f); };
}

void FakeBootloader::reply(FakeSerialApi& api, std::vector<std::uint8_t> bytes, Step step) {
  if (fault) {
    if (auto replaced = fault(command_, address_, step)) bytes = *replaced;
  }
  api.queue(bytes);
}

void FakeBootloader::onFrame(FakeSerialApi& api, const std::vector<std::uint8_t>& f) {
  switch (state_) {
    case State::Idle:
      if (f.size() == 1 && f[0] == 0x7F) {
        api.queue({kAckByte});
        return;
      }
      if (f.size() != 2 || (f[0] ^ f[1]) != 0xFF) return api.queue({kNackByte});
      address_ = 0;
      if (f[0] == 0x00) {
        command_ = Command::Get;
        return reply(api, {kAckByte, 5, 0x10, 0x00, 0x11, 0x21, 0x31, 0x43, kAckByte},
                     Step::Command);
      }
      command_ = f[0] == 0x11 ? Command::Read : f[0] == 0x31 ? Command::Write : Command::Other;
      if (command_ == Command::Other) return api.queue({kNackByte});
      state_ = State::Address;
      return reply(api, {kAckByte}, Step::Command);
    case State::Address: {
      state_ = State::Idle;
      if (f.size() != 5 || (f[0] ^ f[1] ^ f[2] ^ f[3]) != f[4]) return api.queue({kNackByte});
      address_ = std::uint32_t{f[0]} << 24 | std::uint32_t{f[1]} << 16 |
                 std::uint32_t{f[2]} << 8 | f[3];
      if (address_ > 0xFFFF) return api.queue({kNackByte});
      state_ = command_ == Command::Read ? State::Length : State::Data;
      return reply(api, {kAckByte}, Step::Address);
    }
    case State::Length: {
      state_ = State::Idle;
      if (f.size() != 2 || (f[0] ^ f[1]) != 0xFF) return api.queue({kNackByte});
      std::vector<std::uint8_t> out{kAckByte};
      for (std::uint32_t i = 0; i <= f[0]; ++i) out.push_back(memory[(address_ + i) & 0xFFFF]);
      reads.push_back(address_);
      return reply(api, out, Step::Data);
    }
    case State::Data: {
      state_ = State::Idle;
      if (f.size() < 3 || f.size() != f[0] + 3u) return api.queue({kNackByte});
      std::uint8_t sum = 0;
      for (std::size_t i = 0; i + 1 < f.size(); ++i) sum ^= f[i];
      if (sum != f.back()) return api.queue({kNackByte});
      if (fault) {
        if (auto replaced = fault(command_, address_, Step::Data)) return api.queue(*replaced);
      }
      for (std::size_t i = 0; i <= f[0]; ++i) memory[(address_ + i) & 0xFFFF] = f[1 + i];
      writes.push_back(address_);
      return api.queue({kAckByte});
    }
  }
}

}  // namespace tarvik::testing
