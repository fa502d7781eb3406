// The program's side of the bootloader protocol, written out plainly for the
// simulator's tests: frame builders and scripted exchanges over a SerialPeer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tests/support/serial_peer.h"

namespace tarvik::testing::script {

using Bytes = std::vector<std::uint8_t>;

inline const Bytes kSync{0x7F};
inline const Bytes kAck{0x79};
inline const Bytes kNack{0x1F};
inline const Bytes kGet{0x00, 0xFF};
inline const Bytes kReadCmd{0x11, 0xEE};
inline const Bytes kWriteCmd{0x31, 0xCE};
inline const Bytes kEraseCmd{0x43, 0xBC};
inline const Bytes kGoCmd{0x21, 0xDE};
inline const Bytes kGetReply{0x79, 0x05, 0x10, 0x00, 0x11, 0x21, 0x31, 0x43, 0x79};
inline const Bytes kJunk{0x00, 0x55, 0xAA};

Bytes Address(std::uint32_t address);            // four bytes MSB first and their XOR
Bytes Length(std::size_t count);                 // N = count - 1, then N ^ 0xFF
Bytes DataFrame(std::span<const std::uint8_t> data);  // N, data, N ^ data...
Bytes Cat(std::initializer_list<Bytes> parts);

// A deterministic memory image unlike the built-in one, for --memory-in.
Bytes TestMemory();
// `count` bytes of `memory` from `address`.
Bytes Slice(const Bytes& memory, std::uint32_t address, std::size_t count);
// `count` bytes from `address` of `memory`, each inverted: data that differs
// from what the memory holds at every byte.
Bytes Inverted(const Bytes& memory, std::uint32_t address, std::size_t count);

// One step of a conversation: what the program sends, and exactly what it
// must get back (empty: silence).
struct Exchange {
  Bytes send;
  Bytes expect;
};

// Plays `exchanges` in order, reporting mismatches as test failures labelled
// with `label`; afterwards nothing more may arrive.
void Play(SerialPeer& peer, const std::vector<Exchange>& exchanges, const std::string& label);

// Whole commands, for tests that do not look at each reply.
bool Write(SerialPeer& peer, std::uint32_t address, std::span<const std::uint8_t> data);
std::optional<Bytes> Read(SerialPeer& peer, std::uint32_t address, std::size_t count);

}  // namespace tarvik::testing::script
