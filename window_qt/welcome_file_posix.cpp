// POSIX has no share modes: a writer elsewhere cannot be kept out, so the
// file is simply read whole in one go.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QFile>

#include "welcome_file.h"

namespace tarvik {
namespace {

WelcomeFileBytes OpenFailure(int error) {
  WelcomeFileBytes result;
  result.status = WelcomeFileBytes::Status::OpenFailed;
  // The locale's own words, as the rest of the system would say them.
  result.systemError = QString::fromLocal8Bit(std::strerror(error));
  return result;
}

WelcomeFileBytes ReadFailure() {
  WelcomeFileBytes result;
  result.status = WelcomeFileBytes::Status::ReadFailed;
  return result;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

WelcomeFileBytes ReadWelcomeFile(const QString& path, qint64 maxSize) {
  const QByteArray name = QFile::encodeName(path);
  FileDescriptor file(::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (file.get() < 0) return OpenFailure(errno);

  struct stat info {};
  if (::fstat(file.get(), &info) != 0) return OpenFailure(errno);
  // Windows refuses to open a directory as a file; say so the same way
  // rather than fail later in the read.
  if (S_ISDIR(info.st_mode)) return OpenFailure(EISDIR);
  if (S_ISREG(info.st_mode) && info.st_size > maxSize) return ReadFailure();

  WelcomeFileBytes result;
  result.status = WelcomeFileBytes::Status::Ok;
  // Devices and pipes report no size: read in chunks until the end or the limit.
  constexpr qint64 kChunk = 64 * 1024;
  for (;;) {
    const qint64 have = result.bytes.size();
    if (have > maxSize) return ReadFailure();
    result.bytes.resize(have + kChunk);
    const ssize_t got = ::read(file.get(), result.bytes.data() + have, kChunk);
    if (got < 0 && errno == EINTR) {
      result.bytes.resize(have);
      continue;
    }
    if (got < 0) return ReadFailure();
    result.bytes.resize(have + got);
    if (got == 0) break;
  }
  if (result.bytes.size() > maxSize) return ReadFailure();
  return result;
}

}  // namespace tarvik
