#pragma once
// A serial platform that records every call and plays a scripted device:
// bytes written go to `written`, and the device's replies are queued in
// `incoming`, either up front or by `onWrite` as frames arrive.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "device_link/serial_api.h"

namespace tarvik::testing {

class FakeSerialApi : public SerialApi {
 public:
  struct Read {
    PortHandle handle;
    std::uint32_t count;
    const void* buffer;
  };
  struct Open {
    std::string path;
    std::uint32_t access;
    std::uint32_t share;
    std::uint32_t creation;
    std::uint32_t attributes;
  };
  // One readFile call (counted from 0 over all calls) that delivers only
  // `delivered` of the bytes asked for, however many are waiting; the rest of
  // what is waiting is lost, as when the bridge is pulled out in the middle
  // of a read. The call reports failure when `callFails`, else a short count.
  struct ShortRead {
    std::size_t call;
    std::uint32_t delivered;
    bool callFails;
  };

  // Port names (without the "\\.\" prefix) that exist.
  std::set<std::string> ports{"COM3"};
  // Name of the call that fails ("setupComm", "setCommState", ...), if any.
  std::string failing;
  // The device side.
  std::deque<std::uint8_t> incoming;
  std::vector<std::uint8_t> written;
  std::vector<std::vector<std::uint8_t>> frames;  // one entry per writeFile
  std::function<void(FakeSerialApi&, const std::vector<std::uint8_t>& frame)> onWrite;
  std::function<void(FakeSerialApi&)> onSleep;
  // The bytes that onWrite queues for a frame come only after this many
  // sleeps: a device that answers at the line's pace rather than at once.
  unsigned replyAfterSleeps = 0;
  std::optional<ShortRead> shortRead;

  // What the logic did.
  std::vector<std::string> calls;
  std::vector<std::string> openedPaths;
  std::vector<std::uint32_t> openAccess;
  std::vector<Open> opens;  // every createFile with all it was given
  std::vector<Read> reads;
  std::vector<PortHandle> closed;
  std::set<PortHandle> openHandles;
  Dcb reportedDcb{};
  std::optional<Dcb> setDcb;
  std::optional<CommTimeouts> setTimeouts;
  std::optional<std::uint32_t> mask;
  unsigned sleeps = 0;

  void queue(std::initializer_list<std::uint8_t> bytes) {
    incoming.insert(incoming.end(), bytes.begin(), bytes.end());
  }
  void queue(const std::vector<std::uint8_t>& bytes) {
    incoming.insert(incoming.end(), bytes.begin(), bytes.end());
  }
  unsigned count(const std::string& call) const;
  // A reply is held back (replyAfterSleeps): the program is waiting for it.
  bool replyPending() const { return !held_.empty(); }

  PortHandle createFile(const std::string& path, std::uint32_t access, std::uint32_t share,
                        std::uint32_t creation, std::uint32_t attributes) override;
  bool setupComm(PortHandle h, std::uint32_t inQueue, std::uint32_t outQueue) override;
  bool getCommState(PortHandle h, Dcb& dcb) override;
  bool setCommState(PortHandle h, const Dcb& dcb) override;
  bool getCommTimeouts(PortHandle h, CommTimeouts& timeouts) override;
  bool setCommTimeouts(PortHandle h, const CommTimeouts& timeouts) override;
  bool setCommMask(PortHandle h, std::uint32_t mask) override;
  bool clearCommError(PortHandle h, std::uint32_t& errors, ComStat& stat) override;
  bool readFile(PortHandle h, void* buffer, std::uint32_t count, std::uint32_t& read) override;
  bool writeFile(PortHandle h, const void* buffer, std::uint32_t count,
                 std::uint32_t& written) override;
  bool closeHandle(PortHandle h) override;
  void sleep(std::uint32_t milliseconds) override;

 private:
  bool fails(const char* call);
  std::intptr_t nextHandle_ = 100;
  std::deque<std::uint8_t> held_;
  unsigned sleepsUntilReply_ = 0;
};

}  // namespace tarvik::testing
