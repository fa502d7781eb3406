#pragma once
// A pass-through serial layer that notes what goes through it: which names
// were opened (and how), which handles were closed, and when the first sync
// byte went out. The real layer underneath does all the work, so the wizard
// still talks to the virtual tracker; the notes only let a test or the
// benchmark see the order of the calls.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bootloader_protocol/boot_commands.h"
#include "device_link/serial_api.h"

namespace tarvik::e2e {

struct OpenCall {
  std::string path;
  std::uint32_t access = 0;
  PortHandle handle = kInvalidPortHandle;
};

// A port opened for use, or closed, in the order they happened.
struct PortCall {
  enum class Kind { Open, Close } kind;
  std::string path;  // open only
  PortHandle handle;
};

class RecordingSerialApi : public SerialApi {
 public:
  using Clock = std::chrono::steady_clock;

  explicit RecordingSerialApi(SerialApi& inner) : inner_(inner) {}

  std::vector<OpenCall> opens;  // every createFile, probe included
  std::vector<PortCall> calls;  // opens that succeeded and closes, in order
  std::optional<Clock::time_point> firstSyncWrite;
  std::uint32_t lastWaiting = 0;  // what the last count query found waiting

  // The opens made for reading and writing: the ports the link really used,
  // as opposed to the probe's access-0 opens.
  std::vector<std::string> PortsOpenedForUse() const {
    std::vector<std::string> names;
    for (const OpenCall& call : opens)
      if (call.access != 0) names.push_back(call.path);
    return names;
  }

  bool WasClosed(PortHandle handle) const {
    for (const PortCall& call : calls)
      if (call.kind == PortCall::Kind::Close && call.handle == handle) return true;
    return false;
  }

  void Forget() {
    opens.clear();
    calls.clear();
    firstSyncWrite.reset();
  }

  PortHandle createFile(const std::string& path, std::uint32_t access, std::uint32_t share,
                        std::uint32_t creation, std::uint32_t attributes) override {
    const PortHandle h = inner_.createFile(path, access, share, creation, attributes);
    opens.push_back({path, access, h});
    if (h != kInvalidPortHandle && access != 0) calls.push_back({PortCall::Kind::Open, path, h});
    return h;
  }
  bool closeHandle(PortHandle h) override {
    // The probe's own handles are opened with access 0 and not listed.
    for (const OpenCall& call : opens)
      if (call.handle == h && call.access != 0) {
        calls.push_back({PortCall::Kind::Close, {}, h});
        break;
      }
    return inner_.closeHandle(h);
  }
  bool writeFile(PortHandle h, const void* buffer, std::uint32_t count,
                 std::uint32_t& written) override {
    // The sync is the one frame that is a lone 0x7F.
    if (!firstSyncWrite && count == 1 && *static_cast<const std::uint8_t*>(buffer) == kSyncByte)
      firstSyncWrite = Clock::now();
    return inner_.writeFile(h, buffer, count, written);
  }

  bool setupComm(PortHandle h, std::uint32_t inQueue, std::uint32_t outQueue) override {
    return inner_.setupComm(h, inQueue, outQueue);
  }
  bool getCommState(PortHandle h, Dcb& dcb) override { return inner_.getCommState(h, dcb); }
  bool setCommState(PortHandle h, const Dcb& dcb) override { return inner_.setCommState(h, dcb); }
  bool getCommTimeouts(PortHandle h, CommTimeouts& timeouts) override {
    return inner_.getCommTimeouts(h, timeouts);
  }
  bool setCommTimeouts(PortHandle h, const CommTimeouts& timeouts) override {
    return inner_.setCommTimeouts(h, timeouts);
  }
  bool setCommMask(PortHandle h, std::uint32_t mask) override {
    return inner_.setCommMask(h, mask);
  }
  bool clearCommError(PortHandle h, std::uint32_t& errors, ComStat& stat) override {
    const bool ok = inner_.clearCommError(h, errors, stat);
    lastWaiting = stat.cbInQue;
    return ok;
  }
  // What is waiting on h now, without noting it.
  std::uint32_t WaitingNow(PortHandle h) {
    std::uint32_t errors = 0;
    ComStat stat{};
    return inner_.clearCommError(h, errors, stat) ? stat.cbInQue : 0;
  }
  bool readFile(PortHandle h, void* buffer, std::uint32_t count, std::uint32_t& read) override {
    return inner_.readFile(h, buffer, count, read);
  }
  void sleep(std::uint32_t milliseconds) override { inner_.sleep(milliseconds); }

 private:
  SerialApi& inner_;
};

}  // namespace tarvik::e2e
