#pragma once
// The serial platform layer on POSIX (termios). It keeps the kernel32
// contract of SerialApi: the port name after "\\.\" is mapped onto a device
// node by an injectable resolver, time-outs are the COMMTIMEOUTS ones kept to
// the millisecond with poll(), and the queued count comes from FIONREAD.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "device_link/serial_api.h"

namespace tarvik {

class PosixSerialApi : public SerialApi {
 public:
  using Resolver = std::function<std::optional<std::string>(std::string_view portName)>;
  // The default resolver is the fixed COM-name mapping of port_names.h.
  PosixSerialApi();
  explicit PosixSerialApi(Resolver resolver);
  ~PosixSerialApi() override;

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
  struct OpenPortState {
    CommTimeouts timeouts{};
    std::uint32_t mask = 0;
  };
  // Only descriptors that this layer opened are ever used: after a close the
  // same number may belong to another file, and a call on it must fail.
  OpenPortState* find(PortHandle h);

  Resolver resolver_;
  std::map<PortHandle, OpenPortState> open_;
};

}  // namespace tarvik
