#include "welcome_file.h"

#include <string_view>

#include "Update_Main/welcome_messages.h"

namespace tarvik::win32 {
namespace {

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

WelcomeFileBytes Failed(WelcomeFileBytes::Status status, DWORD error = 0) {
  WelcomeFileBytes result;
  result.status = status;
  if (status == WelcomeFileBytes::Status::OpenFailed) {
    result.error = error;
    result.systemError = SystemErrorText(error);
  }
  return result;
}

}  // namespace

std::wstring SystemErrorText(DWORD error) {
  wchar_t* message = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  std::wstring text;
  if (length != 0 && message != nullptr)
    text.assign(message, length);
  else
    text = L"System Error.  Code: " + std::to_wstring(error) + L".";
  if (message != nullptr) ::LocalFree(message);
  return text;
}

std::wstring WelcomeFilePath() {
  std::wstring directory(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetCurrentDirectoryW(static_cast<DWORD>(directory.size()), directory.data());
    if (length == 0) {
      directory.clear();
      break;
    }
    if (length < directory.size()) {
      directory.resize(length);
      break;
    }
    directory.resize(length);  // the size needed, with the terminating zero
  }
  if (!directory.empty() && directory.back() != L'\\') directory += L'\\';
  const std::string_view name = kWelcomeFileName;
  return directory + std::wstring(name.begin(), name.end());
}

WelcomeFileBytes ReadWelcomeFile(const std::wstring& path, long long maxSize) {
  FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE)
    return Failed(WelcomeFileBytes::Status::OpenFailed, ::GetLastError());

  LARGE_INTEGER size{};
  if (::GetFileSizeEx(file.get(), &size) && size.QuadPart > maxSize)
    return Failed(WelcomeFileBytes::Status::ReadFailed);

  WelcomeFileBytes result;
  result.status = WelcomeFileBytes::Status::Ok;
  // Whatever the size said, stop once the limit is passed.
  constexpr DWORD kChunk = 64 * 1024;
  for (;;) {
    const std::size_t have = result.bytes.size();
    if (static_cast<long long>(have) > maxSize) return Failed(WelcomeFileBytes::Status::ReadFailed);
    result.bytes.resize(have + kChunk);
    DWORD got = 0;
    if (!::ReadFile(file.get(), result.bytes.data() + have, kChunk, &got, nullptr))
      return Failed(WelcomeFileBytes::Status::ReadFailed);
    result.bytes.resize(have + got);
    if (got == 0) break;
  }
  if (static_cast<long long>(result.bytes.size()) > maxSize)
    return Failed(WelcomeFileBytes::Status::ReadFailed);
  return result;
}

}  // namespace tarvik::win32
