// tarvik-bootsim's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fault_plan.h"

namespace bootsim {

struct Options {
  bool help = false;
  std::string linkPath;
  std::optional<int> fd;
  unsigned baud = 9600;
  unsigned timeoutMs = 1000;
  bool exitWithStdin = false;
  bool strict = false;
  std::uint8_t versionByte = 0x10;
  unsigned getCount = 5;
  unsigned programDelayMs = 6;
  std::optional<unsigned> byteDelayMs;  // default: programDelayMs
  std::string memoryIn;
  std::string memoryOut;
  std::string dumpInitial;
  std::string logPath;
  std::vector<std::uint32_t> flips;
  std::vector<Fault> faults;
};

// Parses argv; on a bad command line returns nullopt and sets `error`.
// Options take their value as the next argument or after '='.
std::optional<Options> ParseOptions(int argc, char** argv, std::string& error);

const char* HelpText();

}  // namespace bootsim
