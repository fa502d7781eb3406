// Windows: the file is opened with read sharing only, so nobody can write it
// while it is read, and errors are described by the system's message table.
#include "welcome_file.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace tarvik {
namespace {

WelcomeFileBytes OpenFailure(DWORD error) {
  WelcomeFileBytes result;
  result.status = WelcomeFileBytes::Status::OpenFailed;
  wchar_t* message = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  if (length != 0 && message != nullptr) {
    result.systemError = QString::fromWCharArray(message, static_cast<qsizetype>(length));
  } else {
    result.systemError = QStringLiteral("System Error.  Code: %1.").arg(error);
  }
  if (message != nullptr) ::LocalFree(message);
  return result;
}

WelcomeFileBytes ReadFailure() {
  WelcomeFileBytes result;
  result.status = WelcomeFileBytes::Status::ReadFailed;
  return result;
}

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

WelcomeFileBytes ReadWelcomeFile(const QString& path, qint64 maxSize) {
  FileHandle file(::CreateFileW(reinterpret_cast<LPCWSTR>(path.utf16()), GENERIC_READ,
                                FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return OpenFailure(::GetLastError());

  LARGE_INTEGER size{};
  if (::GetFileSizeEx(file.get(), &size) && size.QuadPart > maxSize) return ReadFailure();

  WelcomeFileBytes result;
  result.status = WelcomeFileBytes::Status::Ok;
  constexpr DWORD kChunk = 64 * 1024;
  for (;;) {
    const qint64 have = result.bytes.size();
    if (have > maxSize) return ReadFailure();
    result.bytes.resize(have + kChunk);
    DWORD got = 0;
    if (!::ReadFile(file.get(), result.bytes.data() + have, kChunk, &got, nullptr)) {
      return ReadFailure();
    }
    result.bytes.resize(have + static_cast<qint64>(got));
    if (got == 0) break;
  }
  if (result.bytes.size() > maxSize) return ReadFailure();
  return result;
}

}  // namespace tarvik
