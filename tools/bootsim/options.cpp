#include "options.h"

#include <charconv>
#include <string_view>

namespace bootsim {
namespace {

std::optional<unsigned> ParseDecimal(std::string_view text, unsigned max) {
  unsigned value = 0;
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || status != std::errc{} || end != text.data() + text.size() || value > max) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

const char* HelpText() {
  return R"(Usage: tarvik-bootsim [OPTION]...
A virtual GPS tracker: plays the tracker's serial bootloader (ST's UART
bootloader protocol as an STM8 speaks it) on a pseudo-terminal, and prints
"PTY <slave path>" once the line is ready.

Line:
  --link PATH          also make PATH a symlink to the pty slave (removed on exit)
  --fd N               serve the open descriptor N (e.g. a pty master) instead of
                       a new pty; prints "FD N"
  --baud N             pace both directions like N baud 8E1, 11 bits a character
                       (default 9600; 0 = no pacing)
  --timeout MS         inter-byte time-out inside a command (default 1000)
  --exit-with-stdin    also stop (writing --memory-out) when stdin reaches end
                       of file, so that a test runner holding the other end of
                       a pipe takes the simulator with it when it dies

Bootloader:
  --strict             ROM bootloader: a 0x7F after sync is a command code, not
                       a new sync
  --version-byte XX    version byte of the Get reply, hexadecimal (default 10)
  --get-count N        count byte of the Get reply, followed by N codes (default 5)
  --program-delay MS   programming time of a 128-byte block write (default 6)
  --byte-delay MS      programming time per byte of any other write
                       (default: the --program-delay value)

Memory:
  --memory-in FILE     initial memory, exactly 65536 bytes (default: built-in
                       "older firmware with user settings" contents)
  --memory-out FILE    write the final 65536 bytes on exit (temp file + rename)
  --dump-initial FILE  write the initial memory to FILE and exit
  --flip ADDR          Read Memory returns the byte at ADDR (hex) inverted; the
                       stored byte stays right (repeatable)

Faults and log:
  --fault FAULT        inject a fault (repeatable):
                         FAULT = KIND:CMD[@ADDR][#K][/STEP]
                         KIND  = noreply | nack | wrong | partial | noise | stale | hangup
                         CMD   = sync | get | read | write
                         #K    the K-th command of that kind (1-based; failed ones count)
                         @ADDR read/write commands at that address (hex); with #K
                               the K-th of them; with neither, every command of CMD
                         STEP  = cmd | addr | data: which reply (default: the last)
                       noreply: say nothing; nack: 0x1F for the ACK, nothing after;
                       wrong: 0x78 for the ACK; partial (read/get data): half the
                       bytes; noise: 00 55 AA before the reply; stale: 00 55 AA
                       together with the reply's last byte; hangup: drop the line
                       and exit. Examples: nack:write#3  partial:read@0x8C00
                       noise:get#1/cmd  hangup:write@FE00
  --log FILE           one line per frame each way with a millisecond time stamp,
                       and notes for faults

  --help               show this text

Memory map: 0x1000-0x13FF data EEPROM and 0x8000-0xFFFF program memory are
writable; all of 0x0000-0xFFFF is readable. SIGTERM, SIGINT, end of the line:
write --memory-out and exit. SIGHUP: hang up the line (as an unplug), write
--memory-out and exit.
)";
}

std::optional<Options> ParseOptions(int argc, char** argv, std::string& error) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string_view name = argv[i];
    std::optional<std::string_view> inlineValue;
    if (const auto equals = name.find('='); name.starts_with("--") && equals != std::string_view::npos) {
      inlineValue = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    auto value = [&]() -> std::optional<std::string_view> {
      if (inlineValue) return inlineValue;
      if (i + 1 < argc) return std::string_view(argv[++i]);
      return std::nullopt;
    };
    auto bad = [&](std::string why) {
      error = std::string(name) + ": " + why;
      return std::nullopt;
    };
    auto number = [&](unsigned max) -> std::optional<unsigned> {
      const auto text = value();
      return text ? ParseDecimal(*text, max) : std::nullopt;
    };
    auto text = [&](std::string& out) {
      const auto given = value();
      if (given) out = std::string(*given);
      return given.has_value() && !given->empty();
    };

    if (name == "--help" || name == "-h") {
      options.help = true;
    } else if (name == "--exit-with-stdin") {
      options.exitWithStdin = true;
    } else if (name == "--strict") {
      options.strict = true;
    } else if (name == "--link") {
      if (!text(options.linkPath)) return bad("needs a path");
    } else if (name == "--fd") {
      const auto fd = number(1'000'000);
      if (!fd) return bad("needs a descriptor number");
      options.fd = static_cast<int>(*fd);
    } else if (name == "--baud") {
      const auto baud = number(4'000'000);
      if (!baud) return bad("needs a number");
      options.baud = *baud;
    } else if (name == "--timeout") {
      const auto ms = number(3'600'000);
      if (!ms || *ms == 0) return bad("needs milliseconds above 0");
      options.timeoutMs = *ms;
    } else if (name == "--version-byte") {
      const auto given = value();
      const auto byte = given ? ParseHex(*given) : std::nullopt;
      if (!byte || *byte > 0xFF) return bad("needs a hexadecimal byte");
      options.versionByte = static_cast<std::uint8_t>(*byte);
    } else if (name == "--get-count") {
      const auto count = number(255);
      if (!count) return bad("needs a number from 0 to 255");
      options.getCount = *count;
    } else if (name == "--program-delay") {
      const auto ms = number(60'000);
      if (!ms) return bad("needs milliseconds");
      options.programDelayMs = *ms;
    } else if (name == "--byte-delay") {
      const auto ms = number(60'000);
      if (!ms) return bad("needs milliseconds");
      options.byteDelayMs = *ms;
    } else if (name == "--memory-in") {
      if (!text(options.memoryIn)) return bad("needs a file");
    } else if (name == "--memory-out") {
      if (!text(options.memoryOut)) return bad("needs a file");
    } else if (name == "--dump-initial") {
      if (!text(options.dumpInitial)) return bad("needs a file");
    } else if (name == "--log") {
      if (!text(options.logPath)) return bad("needs a file");
    } else if (name == "--flip") {
      const auto given = value();
      const auto address = given ? ParseHex(*given) : std::nullopt;
      if (!address || *address > 0xFFFF) return bad("needs a hexadecimal address up to FFFF");
      options.flips.push_back(*address);
    } else if (name == "--fault") {
      const auto given = value();
      if (!given) return bad("needs KIND:CMD...");
      auto fault = ParseFault(*given, error);
      if (!fault) return std::nullopt;
      options.faults.push_back(std::move(*fault));
    } else {
      error = "unknown option " + std::string(argv[i]);
      return std::nullopt;
    }
  }
  if (options.fd && !options.linkPath.empty()) {
    error = "--link goes only with a pty of our own, not with --fd";
    return std::nullopt;
  }
  return options;
}

}  // namespace bootsim
