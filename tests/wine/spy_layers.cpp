#include "tests/wine/spy_layers.h"

namespace tarvik::testing {

PortHandle SpySerialApi::createFile(const std::string& path, std::uint32_t access,
                                    std::uint32_t share, std::uint32_t creation,
                                    std::uint32_t attributes) {
  calls.push_back("createFile");
  const PortHandle h = real_.createFile(path, access, share, creation, attributes);
  if (h != kInvalidPortHandle) created.push_back(h);
  return h;
}

bool SpySerialApi::setupComm(PortHandle h, std::uint32_t inQueue, std::uint32_t outQueue) {
  calls.push_back("setupComm");
  return real_.setupComm(h, inQueue, outQueue);
}

bool SpySerialApi::getCommState(PortHandle h, Dcb& dcb) {
  calls.push_back("getCommState");
  const bool ok = real_.getCommState(h, dcb);
  if (ok) reportedDcb = dcb;
  return ok;
}

bool SpySerialApi::setCommState(PortHandle h, const Dcb& dcb) {
  calls.push_back("setCommState");
  requestedDcb = dcb;
  Dcb sent = dcb;
  if (alterDcb) alterDcb(sent);
  return real_.setCommState(h, sent);
}

bool SpySerialApi::getCommTimeouts(PortHandle h, CommTimeouts& timeouts) {
  calls.push_back("getCommTimeouts");
  return real_.getCommTimeouts(h, timeouts);
}

bool SpySerialApi::setCommTimeouts(PortHandle h, const CommTimeouts& timeouts) {
  calls.push_back("setCommTimeouts");
  requestedTimeouts = timeouts;
  return real_.setCommTimeouts(h, timeouts);
}

bool SpySerialApi::setCommMask(PortHandle h, std::uint32_t mask) {
  calls.push_back("setCommMask");
  return real_.setCommMask(h, mask);
}

bool SpySerialApi::clearCommError(PortHandle h, std::uint32_t& errors, ComStat& stat) {
  return real_.clearCommError(h, errors, stat);  // polled too often to list
}

bool SpySerialApi::readFile(PortHandle h, void* buffer, std::uint32_t count,
                            std::uint32_t& read) {
  calls.push_back("readFile");
  return real_.readFile(h, buffer, count, read);
}

bool SpySerialApi::writeFile(PortHandle h, const void* buffer, std::uint32_t count,
                             std::uint32_t& written) {
  calls.push_back("writeFile");
  return real_.writeFile(h, buffer, count, written);
}

bool SpySerialApi::closeHandle(PortHandle h) {
  calls.push_back("closeHandle");
  return real_.closeHandle(h);
}

void SpySerialApi::sleep(std::uint32_t milliseconds) { real_.sleep(milliseconds); }

DevInfoSet SpyDeviceInfoApi::getClassDevs(const Guid& classGuid, std::uint32_t flagsGiven) {
  calls.push_back("getClassDevs");
  flags.push_back(flagsGiven);
  const DevInfoSet set = real_.getClassDevs(classGuid, flagsGiven);
  if (set != kInvalidDevInfoSet) setsTaken.push_back(set);
  return set;
}

bool SpyDeviceInfoApi::enumDeviceInfo(DevInfoSet set, std::uint32_t index, DevInfoData& data) {
  calls.push_back("enumDeviceInfo " + std::to_string(index));
  return real_.enumDeviceInfo(set, index, data);
}

bool SpyDeviceInfoApi::getDeviceRegistryProperty(DevInfoSet set, const DevInfoData& data,
                                                 std::uint32_t property, std::uint32_t& dataType,
                                                 std::uint8_t* buffer, std::uint32_t size,
                                                 std::uint32_t& requiredSize) {
  calls.push_back("getDeviceRegistryProperty " + std::to_string(property));
  const bool ok =
      real_.getDeviceRegistryProperty(set, data, property, dataType, buffer, size, requiredSize);
  propertyReads.push_back({property, ok});
  return ok;
}

bool SpyDeviceInfoApi::destroyDeviceInfoList(DevInfoSet set) {
  calls.push_back("destroyDeviceInfoList");
  const bool ok = real_.destroyDeviceInfoList(set);
  if (ok) setsReleased.push_back(set);
  return ok;
}

}  // namespace tarvik::testing
