#include "bootloader.h"

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <utility>

#include "frame_log.h"
#include "serial_line.h"

namespace bootsim {
namespace {

constexpr std::uint8_t kSync = 0x7F;
constexpr std::uint8_t kAck = 0x79;
constexpr std::uint8_t kNack = 0x1F;
constexpr std::uint8_t kWrongAck = 0x78;  // one bit off an ACK, as a damaged byte would be
constexpr std::array<std::uint8_t, 3> kJunk{0x00, 0x55, 0xAA};

constexpr std::uint8_t kGet = 0x00;
constexpr std::uint8_t kReadMemory = 0x11;
constexpr std::uint8_t kGo = 0x21;
constexpr std::uint8_t kWriteMemory = 0x31;
constexpr std::uint8_t kErase = 0x43;

constexpr std::size_t kMaxWrite = 128;
constexpr std::uint32_t kBlockSize = 128;
constexpr std::uint32_t kSectorSize = 0x400;
constexpr std::uint8_t kEepromSectorCode = 0x20;

// The command codes the Get reply lists: the five an STM8 bootloader has, then
// (for --get-count above 5) codes of other ST bootloaders, then made-up ones.
std::vector<std::uint8_t> AdvertisedCodes(unsigned count) {
  static constexpr std::array<std::uint8_t, 9> kKnown{kGet,  kReadMemory, kGo,  kWriteMemory, kErase,
                                                      0x63, 0x73,        0x82, 0x92};
  std::vector<std::uint8_t> codes;
  for (unsigned i = 0; i < count; ++i) {
    codes.push_back(i < kKnown.size() ? kKnown[i] : static_cast<std::uint8_t>(0xA0 + i));
  }
  return codes;
}

std::uint8_t XorOf(std::span<const std::uint8_t> bytes) {
  std::uint8_t sum = 0;
  for (std::uint8_t byte : bytes) sum ^= byte;
  return sum;
}

const char* Describe(FaultKind kind) {
  switch (kind) {
    case FaultKind::NoReply: return "no reply";
    case FaultKind::Nack: return "NACK instead of ACK";
    case FaultKind::Wrong: return "0x78 instead of ACK";
    case FaultKind::Partial: return "reply cut short";
    case FaultKind::Noise: return "junk before the reply";
    case FaultKind::Stale: return "junk right after the reply";
    case FaultKind::HangUp: return "line hung up instead of the reply";
  }
  return "";
}

}  // namespace

Bootloader::Bootloader(SerialLine& line, FrameLog& log, Memory& memory, FaultPlan& faults,
                       BootloaderSettings settings)
    : line_(line), log_(log), memory_(memory), faults_(faults), settings_(std::move(settings)) {}

void Bootloader::run() {
  for (;;) {
    try {
      serveOne();
    } catch (const Abandoned&) {
      // Back to waiting for a command.
    }
  }
}

void Bootloader::serveOne() {
  const std::uint8_t code = *line_.receive(std::nullopt);
  const std::uint8_t single[1] = {code};
  if (applicationRunning_) {
    log_.received(single, "(ignored: the application runs)");
    return;
  }
  if (!synced_ && code != kSync) {
    log_.received(single, "(ignored before sync)");
    return;
  }
  if (code == kSync && (!synced_ || !settings_.strict)) {
    sync();
    return;
  }
  const auto frame = receiveFrame(1, {code});
  log_.received(frame);
  if (frame[1] != (code ^ 0xFF)) {
    sendPlain({kNack}, "(bad complement)");
    return;
  }
  switch (code) {
    case kGet: get(); break;
    case kReadMemory: readMemory(); break;
    case kWriteMemory: writeMemory(); break;
    case kErase: erase(); break;
    case kGo: go(); break;
    default: sendPlain({kNack}, "(unknown command)"); break;
  }
}

void Bootloader::sync() {
  command_ = faults_.begin(CommandKind::Sync);
  const std::uint8_t byte[1] = {kSync};
  log_.received(byte);
  synced_ = reply(Step::Cmd, {kAck});
}

void Bootloader::get() {
  command_ = faults_.begin(CommandKind::Get);
  if (!reply(Step::Cmd, {kAck})) return;
  const auto codes = AdvertisedCodes(settings_.getCount);
  std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(codes.size()), settings_.versionByte};
  bytes.insert(bytes.end(), codes.begin(), codes.end());
  bytes.push_back(kAck);
  const std::size_t ackAt = bytes.size() - 1;
  reply(Step::Data, std::move(bytes), "", ackAt, 2 + codes.size() / 2);
}

void Bootloader::readMemory() {
  command_ = faults_.begin(CommandKind::Read);
  if (!reply(Step::Cmd, {kAck})) return;
  const auto address = receiveAddress();
  if (!address) {
    reply(Step::Addr, {kNack}, "(bad address checksum)");
    return;
  }
  faults_.setAddress(command_, *address);
  if (!IsReadable(*address, 1)) {
    reply(Step::Addr, {kNack}, "(outside the device)");
    return;
  }
  if (!reply(Step::Addr, {kAck})) return;

  const auto length = receiveFrame(2);
  log_.received(length);
  if (length[1] != (length[0] ^ 0xFF)) {
    reply(Step::Data, {kNack}, "(bad length complement)");
    return;
  }
  const std::uint32_t count = length[0] + 1u;
  if (!IsReadable(*address, count)) {
    reply(Step::Data, {kNack}, "(runs past the end of memory)");
    return;
  }
  std::vector<std::uint8_t> bytes{kAck};
  for (std::uint32_t a = *address; a < *address + count; ++a) {
    const bool flip = settings_.flips.contains(a);
    if (flip) log_.note("--flip: the byte at " + Hex4(a) + " reads back inverted");
    bytes.push_back(static_cast<std::uint8_t>(memory_[a] ^ (flip ? 0xFF : 0x00)));
  }
  reply(Step::Data, std::move(bytes), "", 0, 1 + count / 2);
}

void Bootloader::writeMemory() {
  command_ = faults_.begin(CommandKind::Write);
  if (!reply(Step::Cmd, {kAck})) return;
  const auto address = receiveAddress();
  if (!address) {
    reply(Step::Addr, {kNack}, "(bad address checksum)");
    return;
  }
  faults_.setAddress(command_, *address);
  if (!IsWritableAddress(*address)) {
    reply(Step::Addr, {kNack}, "(not writable)");
    return;
  }
  if (!reply(Step::Addr, {kAck})) return;

  auto frame = receiveFrame(1);
  const std::size_t count = frame[0] + 1u;
  frame = receiveFrame(count + 1, std::move(frame));
  log_.received(frame);
  const auto counted = std::span<const std::uint8_t>(frame).first(count + 1);
  if (count > kMaxWrite) {
    reply(Step::Data, {kNack}, "(more than 128 bytes)");
    return;
  }
  if (XorOf(counted) != frame.back()) {
    reply(Step::Data, {kNack}, "(bad checksum)");
    return;
  }
  if (!IsWritableRange(*address, static_cast<std::uint32_t>(count))) {
    reply(Step::Data, {kNack}, "(runs past the end of its region)");
    return;
  }
  std::copy(counted.begin() + 1, counted.end(), memory_.begin() + *address);
  const bool block = count == kBlockSize && *address % kBlockSize == 0;
  const Nanos time = block ? settings_.blockProgramTime
                           : static_cast<Nanos>(count) * settings_.byteProgramTime;
  log_.note("programmed " + std::to_string(count) + " bytes at " + Hex4(*address) +
            (block ? " (block, " : " (byte by byte, ") + std::to_string(time / kNanosPerMilli) + " ms)");
  line_.pause(time);
  reply(Step::Data, {kAck});
}

void Bootloader::erase() {
  sendPlain({kAck});
  auto frame = receiveFrame(1);
  if (frame[0] == 0xFF) {
    frame = receiveFrame(1, std::move(frame));
    log_.received(frame);
    if (frame[1] != 0x00) {
      sendPlain({kNack}, "(bad complement)");
      return;
    }
    std::fill(memory_.begin() + kEepromFirst, memory_.begin() + kEepromLast + 1, 0);
    std::fill(memory_.begin() + kProgramFirst, memory_.end(), 0);
    log_.note("erased program memory and data EEPROM");
    line_.pause(settings_.blockProgramTime * ((kProgramLast + 1 - kProgramFirst) / kSectorSize + 1));
    sendPlain({kAck});
    return;
  }
  const std::size_t count = frame[0] + 1u;
  frame = receiveFrame(count + 1, std::move(frame));
  log_.received(frame);
  const auto codes = std::span<const std::uint8_t>(frame).subspan(1, count);
  const bool known = std::all_of(codes.begin(), codes.end(), [](std::uint8_t code) {
    return code <= kEepromSectorCode;
  });
  if (XorOf(std::span<const std::uint8_t>(frame).first(count + 1)) != frame.back() || !known) {
    sendPlain({kNack}, "(bad checksum or sector code)");
    return;
  }
  for (std::uint8_t code : codes) {
    const std::uint32_t first = code == kEepromSectorCode ? kEepromFirst : kProgramFirst + code * kSectorSize;
    const std::uint32_t size = code == kEepromSectorCode ? kEepromLast + 1 - kEepromFirst : kSectorSize;
    std::fill(memory_.begin() + first, memory_.begin() + first + size, 0);
    log_.note("erased " + Hex4(first) + "-" + Hex4(first + size - 1));
  }
  line_.pause(settings_.blockProgramTime * static_cast<Nanos>(count));
  sendPlain({kAck});
}

void Bootloader::go() {
  sendPlain({kAck});
  const auto address = receiveAddress();
  if (!address || *address < kProgramFirst || *address > kProgramLast) {
    sendPlain({kNack}, "(bad address)");
    return;
  }
  sendPlain({kAck});
  log_.note("go " + Hex4(*address) + ": the application runs; the bootloader answers nothing more");
  applicationRunning_ = true;
}

std::vector<std::uint8_t> Bootloader::receiveFrame(std::size_t count, std::vector<std::uint8_t> frame) {
  for (std::size_t i = 0; i < count; ++i) {
    const auto byte = line_.receive(MonoNow() + settings_.interByteTimeout);
    if (!byte) {
      log_.received(frame, "(time-out: command abandoned)");
      throw Abandoned{};
    }
    frame.push_back(*byte);
  }
  return frame;
}

std::optional<std::uint32_t> Bootloader::receiveAddress() {
  const auto frame = receiveFrame(5);
  log_.received(frame);
  if (XorOf(std::span<const std::uint8_t>(frame).first(4)) != frame[4]) return std::nullopt;
  return std::uint32_t{frame[0]} << 24 | std::uint32_t{frame[1]} << 16 | std::uint32_t{frame[2]} << 8 |
         frame[3];
}

bool Bootloader::reply(Step step, std::vector<std::uint8_t> bytes, const char* remark, std::size_t ackAt,
                       std::size_t partialKeep) {
  std::vector<std::uint8_t> out;
  std::vector<std::uint8_t> after;
  const Fault* decisive = nullptr;
  for (const Fault* fault : faults_.match(command_, step)) {
    if (fault->kind == FaultKind::Noise) {
      out.insert(out.end(), kJunk.begin(), kJunk.end());
    } else if (fault->kind == FaultKind::Stale) {
      after.insert(after.end(), kJunk.begin(), kJunk.end());
    } else if (decisive != nullptr) {
      continue;
    } else {
      decisive = fault;
    }
    log_.note("fault " + fault->text + ": " + Describe(fault->kind));
  }

  bool goOn = true;
  if (decisive != nullptr) {
    goOn = false;
    switch (decisive->kind) {
      case FaultKind::NoReply: bytes.clear(); break;
      case FaultKind::Nack:
        bytes[ackAt] = kNack;
        bytes.resize(ackAt + 1);
        break;
      case FaultKind::Wrong: bytes[ackAt] = kWrongAck; break;
      case FaultKind::Partial: bytes.resize(std::min(partialKeep, bytes.size())); break;
      case FaultKind::HangUp:
        sendPlain(out);
        throw LineClosed{EndReason::HangUpFault};
      case FaultKind::Noise:
      case FaultKind::Stale: break;
    }
  }
  out.insert(out.end(), bytes.begin(), bytes.end());
  line_.send(out, after);
  out.insert(out.end(), after.begin(), after.end());
  if (!out.empty()) log_.sent(out, remark);
  return goOn;
}

void Bootloader::sendPlain(std::vector<std::uint8_t> bytes, const char* remark) {
  if (bytes.empty()) return;
  line_.send(bytes);
  log_.sent(bytes, remark);
}

}  // namespace bootsim
