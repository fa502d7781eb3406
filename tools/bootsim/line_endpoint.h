// Where the simulator plays the device: a pseudo-terminal of its own, or a
// descriptor handed over by the caller (--fd, e.g. a pty master from umockdev).
//
// While serving a pty the simulator keeps a descriptor of the slave side open
// itself. Without it the master reads EIO whenever the program under test has
// the port closed (between connects), which would look like an unplug; a real
// unplug is modelled by hangUp() instead.
#pragma once

#include <string>

namespace bootsim {

class LineEndpoint {
 public:
  // A new pty in raw mode; `linkPath`, if not empty, becomes a symlink to its
  // slave. Throws std::runtime_error.
  static LineEndpoint OpenPty(const std::string& linkPath);
  // An already-open descriptor. If it is a pty master, its slave is held open
  // and put in raw mode as for OpenPty.
  static LineEndpoint Adopt(int fd);

  LineEndpoint(LineEndpoint&& other) noexcept;
  LineEndpoint& operator=(LineEndpoint&&) = delete;
  ~LineEndpoint();

  int fd() const { return master_; }
  const std::string& slavePath() const { return slavePath_; }

  // Drops the line: closes the master and the held slave, so that the peer's
  // descriptor sees POLLHUP, read() 0 and write() EIO, as when the device is
  // unplugged. (With --fd the line only drops if no other process holds the
  // master as well.)
  void hangUp();

 private:
  LineEndpoint() = default;
  void holdSlave();

  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
  std::string linkPath_;
};

}  // namespace bootsim
