// The frame log (--log FILE): one line per frame in each direction, and notes.
//
//   12.345 < 31 CE            a frame received (time: its last byte arrived)
//   12.346 > 79               a reply sent (time: its last byte went out)
//   12.346 # fault nack:...   a note: injected faults, programming, time-outs
//
// Times are seconds since the simulator started, to the millisecond. Each line
// is flushed at once, so a test can read the log while the simulator runs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "mono_clock.h"

namespace bootsim {

class FrameLog {
 public:
  explicit FrameLog(const std::string& path);  // empty path: no log; throws if it cannot be opened
  ~FrameLog();
  FrameLog(const FrameLog&) = delete;
  FrameLog& operator=(const FrameLog&) = delete;

  void received(std::span<const std::uint8_t> bytes, std::string_view remark = {});
  void sent(std::span<const std::uint8_t> bytes, std::string_view remark = {});
  void note(std::string_view text);

 private:
  void line(char direction, std::span<const std::uint8_t> bytes, std::string_view remark);

  std::FILE* file_ = nullptr;
  Nanos start_ = 0;
};

std::string Hex4(std::uint32_t value);  // "0x8C00"

}  // namespace bootsim
