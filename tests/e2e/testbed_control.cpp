#include "testbed_control.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace tarvik::e2e {
namespace {

constexpr char kControlFdVariable[] = "TARVIK_TESTBED_CONTROL_FD";

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool InTestbed() {
  return std::getenv("UMOCKDEV_DIR") != nullptr && std::getenv(kControlFdVariable) != nullptr;
}

bool Testbed(const std::string& command) {
  const char* fdText = std::getenv(kControlFdVariable);
  if (fdText == nullptr) return false;
  const int fd = std::atoi(fdText);
  if (!WriteAll(fd, command + "\n")) return false;
  std::string reply;
  char c = 0;
  for (;;) {
    const ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n != 1 || c == '\n') break;
    reply.push_back(c);
  }
  return reply == "ok";
}

WelcomeTextDir::WelcomeTextDir() : dir_(std::make_unique<QTemporaryDir>()) {
  if (!dir_->isValid()) return;
  QFile text(dir_->filePath(QStringLiteral("text.rtf")));
  if (!text.open(QIODevice::WriteOnly)) return;
  text.write("Welcome text of the end-to-end tests");
  text.close();
  valid_ = QDir::setCurrent(dir_->path());
}

WelcomeTextDir::~WelcomeTextDir() { QDir::setCurrent(QDir::tempPath()); }

int OpenDescriptorCount() {
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  int count = 0;
  while (const dirent* entry = readdir(dir))
    if (entry->d_name[0] != '.') ++count;
  closedir(dir);
  return count - 1;  // the directory's own descriptor
}

void UseOffscreenPlatform() {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QT_SCALE_FACTOR", "1");
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
}

}  // namespace tarvik::e2e
