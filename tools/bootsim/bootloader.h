// The device side of ST's UART bootloader protocol, as an STM8 speaks it.
//
// Before sync every byte but 0x7F is ignored; 0x7F is answered with ACK 0x79.
// After sync each command is a code and its complement (a bad complement gets
// NACK 0x1F). By default a further 0x7F where a command code is expected is
// answered as a new sync, because the program re-syncs on every connect; in
// strict mode (a ROM bootloader) it is taken as a command code instead.
//
//   Get          00 FF  ->  79 N vv codes... 79  (N = 5: 00 11 21 31 43)
//   Read Memory  11 EE  ->  79; address frame -> 79; N N^FF -> 79 + N+1 bytes
//   Write Memory 31 CE  ->  79; address frame -> 79; N data... cs -> 79 once programmed
//   Erase        43 BC  ->  79; FF 00 (everything) or N codes... cs -> 79 once erased
//   Go           21 DE  ->  79; address frame -> 79, then the application runs
//
// Address frame: four bytes, most significant first, and their XOR. NACK for a
// bad checksum or an address outside the device (see device_memory.h); a write
// must also start in a writable region and stay inside it.
//
// Write Memory takes 1 to 128 bytes (N = count - 1, checksum = N XOR the data).
// A 128-byte write to a 128-aligned address is a block program and takes the
// block time (default 6 ms); any other write is programmed byte by byte at the
// byte time each (default: the block time, as a byte program on the STM8 takes
// as long as a block program). The data frame is received whole before any
// check, so a bad length still leaves the line in step.
//
// Erase: FF 00 erases all of program memory and data EEPROM. Otherwise N+1
// sector codes follow with a checksum (N XOR the codes): codes 0x00-0x1F are
// the 1 KiB program-memory sectors from 0x8000, 0x20 is the whole data EEPROM;
// any other code gets NACK and nothing is erased. Each sector takes the block
// time. Erased memory reads 0x00.
//
// Go: an address in program memory gets ACK, and from then on the application
// "runs": the bootloader answers nothing more until the simulator ends.
//
// Inside a command, a gap longer than the inter-byte time-out (default 1 s)
// abandons the command and the device waits for a new one, as the program may
// give up on a command half-way.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "device_memory.h"
#include "fault_plan.h"
#include "mono_clock.h"

namespace bootsim {

class FrameLog;
class SerialLine;

struct BootloaderSettings {
  bool strict = false;
  std::uint8_t versionByte = 0x10;
  unsigned getCount = 5;
  Nanos blockProgramTime = 6 * kNanosPerMilli;
  Nanos byteProgramTime = 6 * kNanosPerMilli;
  Nanos interByteTimeout = 1000 * kNanosPerMilli;
  std::set<std::uint32_t> flips;  // Read Memory returns these bytes inverted
};

class Bootloader {
 public:
  Bootloader(SerialLine& line, FrameLog& log, Memory& memory, FaultPlan& faults,
             BootloaderSettings settings);

  // Serves commands until the line closes (LineClosed propagates).
  [[noreturn]] void run();

 private:
  struct Abandoned {};  // ends the command being served

  void serveOne();
  void sync();
  void get();
  void readMemory();
  void writeMemory();
  void erase();
  void go();

  std::vector<std::uint8_t> receiveFrame(std::size_t count, std::vector<std::uint8_t> frame = {});
  // An address frame; nullopt when its checksum is wrong.
  std::optional<std::uint32_t> receiveAddress();
  // Sends one step's reply, with the faults planned for it. `ackAt` is where the
  // reply's ACK sits; `partialKeep` how many bytes a partial reply keeps.
  // Returns false when a fault ended the command.
  bool reply(Step step, std::vector<std::uint8_t> bytes, const char* remark = "", std::size_t ackAt = 0,
             std::size_t partialKeep = 0);
  void sendPlain(std::vector<std::uint8_t> bytes, const char* remark = "");

  SerialLine& line_;
  FrameLog& log_;
  Memory& memory_;
  FaultPlan& faults_;
  BootloaderSettings settings_;
  CommandContext command_;
  bool synced_ = false;
  bool applicationRunning_ = false;
};

}  // namespace bootsim
