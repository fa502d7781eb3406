#include "frame_log.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace bootsim {

std::string Hex4(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
  return text;
}

FrameLog::FrameLog(const std::string& path) : start_(MonoNow()) {
  if (path.empty()) return;
  file_ = std::fopen(path.c_str(), "we");
  if (file_ == nullptr) {
    throw std::runtime_error("cannot open log " + path + ": " + std::strerror(errno));
  }
}

FrameLog::~FrameLog() {
  if (file_ != nullptr) std::fclose(file_);
}

void FrameLog::received(std::span<const std::uint8_t> bytes, std::string_view remark) {
  line('<', bytes, remark);
}

void FrameLog::sent(std::span<const std::uint8_t> bytes, std::string_view remark) {
  line('>', bytes, remark);
}

void FrameLog::note(std::string_view text) {
  line('#', {}, text);
}

void FrameLog::line(char direction, std::span<const std::uint8_t> bytes, std::string_view remark) {
  if (file_ == nullptr) return;
  const Nanos elapsed = MonoNow() - start_;
  std::fprintf(file_, "%lld.%03lld %c", static_cast<long long>(elapsed / 1'000'000'000),
               static_cast<long long>(elapsed / kNanosPerMilli % 1000), direction);
  for (std::uint8_t byte : bytes) std::fprintf(file_, " %02X", byte);
  if (!remark.empty()) {
    std::fprintf(file_, " %.*s", static_cast<int>(remark.size()), remark.data());
  }
  std::fputc('\n', file_);
  std::fflush(file_);
}

}  // namespace bootsim
