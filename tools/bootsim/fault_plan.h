// Faults to inject into the bootloader's replies, given as --fault FAULT.
//
//   FAULT = KIND ":" CMD [ "@" ADDR ] [ "#" K ] [ "/" STEP ]
//   KIND  = noreply | nack | wrong | partial | noise | stale | hangup
//   CMD   = sync | get | read | write
//   ADDR  = hexadecimal address, "0x" optional (read and write only)
//   K     = 1-based ordinal
//   STEP  = cmd | addr | data
//
// Which commands: "CMD#K" is the K-th command of that kind since start,
// counting every one whose code and complement were valid, failed ones
// included (for sync: the K-th 0x7F answered as a sync). "CMD@ADDR" is every
// command of that kind whose address frame names ADDR; "CMD@ADDR#K" only the
// K-th of them. "CMD" alone is every command of that kind.
//
// Which reply (STEP): cmd is the reply to the command frame (for sync, to the
// sync byte), addr the reply to the address frame, data the reply to the
// length or data frame (for get: the count, version, codes and closing ACK).
// The default is the command's last reply: cmd for sync, data otherwise.
// sync has only cmd, get only cmd and data; @ADDR needs addr or data.
//
// What happens to that reply:
//   noreply  nothing is sent; the device goes back to waiting for a command.
//   nack     the reply's ACK becomes 0x1F and nothing after it is sent; the
//            command ends (read data: only 0x1F; get data: N, version, codes, 0x1F).
//   wrong    the reply's ACK becomes 0x78; the rest is sent as usual; the command ends.
//   partial  read data: the ACK and only the first half of the data; get data:
//            N, version and half of the codes, no closing ACK. Only with data.
//   noise    junk 00 55 AA goes out just before the reply, which follows as usual:
//            the program sees junk where it expects the reply.
//   stale    junk 00 55 AA goes out together with the reply's last byte, so it is
//            already waiting when the reply is seen; the next command's drain
//            must throw it away.
//   hangup   instead of the reply the line hangs up (the master is closed, the
//            peer sees POLLHUP/EIO as on unplug); the simulator writes
//            --memory-out and exits.
// A write's data-step fault acts on the reply after the bytes were programmed
// (a lost or garbled ACK, not a refused frame). Faults that end a sync leave
// the device unsynced, as if it had not recognised the sync byte.
// Several faults may hit one reply: noise and stale add to whatever else
// happens; of the others the first given wins.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bootsim {

enum class FaultKind { NoReply, Nack, Wrong, Partial, Noise, Stale, HangUp };
enum class CommandKind { Sync, Get, Read, Write };
enum class Step { Cmd, Addr, Data };

struct Fault {
  FaultKind kind = FaultKind::NoReply;
  CommandKind command = CommandKind::Sync;
  std::optional<std::uint32_t> address;
  std::optional<unsigned> ordinal;
  Step step = Step::Cmd;
  std::string text;  // as given, for the frame log
};

// Parses one --fault value. On error returns nullopt and sets `error`.
std::optional<Fault> ParseFault(std::string_view text, std::string& error);

// Parses a hexadecimal number with an optional "0x" prefix, at most 32 bits.
std::optional<std::uint32_t> ParseHex(std::string_view text);

// Where the command being served stands, for matching faults against it.
struct CommandContext {
  CommandKind kind = CommandKind::Sync;
  unsigned ordinal = 0;                  // K-th command of this kind
  std::optional<std::uint32_t> address;  // once a valid address frame came
  unsigned addressOrdinal = 0;           // K-th command of this kind at that address
};

class FaultPlan {
 public:
  void add(Fault fault) { faults_.push_back(std::move(fault)); }

  // Numbers a new command of `kind`.
  CommandContext begin(CommandKind kind);
  // Records the command's address once its address frame checked out.
  void setAddress(CommandContext& context, std::uint32_t address);

  // The faults planned for `step` of the command, in the order given.
  std::vector<const Fault*> match(const CommandContext& context, Step step) const;

 private:
  std::vector<Fault> faults_;
  std::map<CommandKind, unsigned> counts_;
  std::map<std::pair<CommandKind, std::uint32_t>, unsigned> addressCounts_;
};

}  // namespace bootsim
