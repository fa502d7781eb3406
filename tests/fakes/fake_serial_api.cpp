#include "tests/fakes/fake_serial_api.h"

#include <algorithm>
#include <cstring>

namespace tarvik::testing {

#ifdef _WIN32
static PortHandle MakeHandle(std::intptr_t n) { return reinterpret_cast<PortHandle>(n); }
#else
static PortHandle MakeHandle(std::intptr_t n) { return n; }
#endif

unsigned FakeSerialApi::count(const std::string& call) const {
  return static_cast<unsigned>(std::count(calls.begin(), calls.end(), call));
}

bool FakeSerialApi::fails(const char* call) {
  calls.emplace_back(call);
  return failing == call;
}

PortHandle FakeSerialApi::createFile(const std::string& path, std::uint32_t access,
                                     std::uint32_t share, std::uint32_t creation,
                                     std::uint32_t attributes) {
  openedPaths.push_back(path);
  openAccess.push_back(access);
  opens.push_back({path, access, share, creation, attributes});
  if (fails("createFile")) return kInvalidPortHandle;
  const std::string prefix = kDevicePrefix;
  if (path.rfind(prefix, 0) != 0 || !ports.count(path.substr(prefix.size())))
    return kInvalidPortHandle;
  const PortHandle h = MakeHandle(nextHandle_++);
  openHandles.insert(h);
  return h;
}

bool FakeSerialApi::setupComm(PortHandle, std::uint32_t in, std::uint32_t out) {
  calls.push_back("setupComm " + std::to_string(in) + " " + std::to_string(out));
  return failing != "setupComm";
}

bool FakeSerialApi::getCommState(PortHandle, Dcb& dcb) {
  if (fails("getCommState")) return false;
  dcb = reportedDcb;
  return true;
}

bool FakeSerialApi::setCommState(PortHandle, const Dcb& dcb) {
  if (fails("setCommState")) return false;
  setDcb = dcb;
  return true;
}

bool FakeSerialApi::getCommTimeouts(PortHandle, CommTimeouts& timeouts) {
  if (fails("getCommTimeouts")) return false;
  timeouts.ReadIntervalTimeout = 7;  // whatever the port had: all five are overwritten
  timeouts.ReadTotalTimeoutMultiplier = 7;
  timeouts.ReadTotalTimeoutConstant = 7;
  timeouts.WriteTotalTimeoutMultiplier = 7;
  timeouts.WriteTotalTimeoutConstant = 7;
  return true;
}

bool FakeSerialApi::setCommTimeouts(PortHandle, const CommTimeouts& timeouts) {
  if (fails("setCommTimeouts")) return false;
  setTimeouts = timeouts;
  return true;
}

bool FakeSerialApi::setCommMask(PortHandle, std::uint32_t m) {
  if (fails("setCommMask")) return false;
  mask = m;
  return true;
}

bool FakeSerialApi::clearCommError(PortHandle h, std::uint32_t& errors, ComStat& stat) {
  errors = 0;
  stat = ComStat{};
  if (fails("clearCommError") || !openHandles.count(h)) return false;
  stat.cbInQue = static_cast<decltype(stat.cbInQue)>(incoming.size());
  return true;
}

bool FakeSerialApi::readFile(PortHandle h, void* buffer, std::uint32_t n, std::uint32_t& read) {
  const std::size_t call = reads.size();
  reads.push_back({h, n, buffer});
  read = 0;
  if (fails("readFile") || !openHandles.count(h)) return false;
  const bool cut = shortRead && shortRead->call == call;
  const std::uint32_t wanted = cut ? std::min(shortRead->delivered, n) : n;
  auto* out = static_cast<std::uint8_t*>(buffer);
  while (read < wanted && !incoming.empty()) {
    out[read++] = incoming.front();
    incoming.pop_front();
  }
  if (!cut) return true;
  incoming.clear();
  return !shortRead->callFails;
}

bool FakeSerialApi::writeFile(PortHandle h, const void* buffer, std::uint32_t n,
                              std::uint32_t& done) {
  done = 0;
  if (fails("writeFile") || !openHandles.count(h)) return false;
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  std::vector<std::uint8_t> frame(in, in + n);
  written.insert(written.end(), frame.begin(), frame.end());
  frames.push_back(frame);
  done = n;
  const std::size_t before = incoming.size();
  if (onWrite) onWrite(*this, frame);
  if (replyAfterSleeps > 0 && incoming.size() > before) {
    held_.insert(held_.end(), incoming.begin() + static_cast<std::ptrdiff_t>(before), incoming.end());
    incoming.resize(before);
    sleepsUntilReply_ = replyAfterSleeps;
  }
  return true;
}

bool FakeSerialApi::closeHandle(PortHandle h) {
  calls.emplace_back("closeHandle");
  closed.push_back(h);
  return openHandles.erase(h) == 1;
}

void FakeSerialApi::sleep(std::uint32_t) {
  ++sleeps;
  if (sleepsUntilReply_ > 0 && --sleepsUntilReply_ == 0) {
    incoming.insert(incoming.end(), held_.begin(), held_.end());
    held_.clear();
  }
  if (onSleep) onSleep(*this);
}

}  // namespace tarvik::testing
