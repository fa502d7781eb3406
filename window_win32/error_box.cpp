#include "error_box.h"

#include "Update_Main/welcome_messages.h"
#include "wide_text.h"
#include "win32_headers.h"

namespace tarvik::win32 {

std::string ProgramFilePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    // A cut path fills the buffer (and on Windows XP is not even terminated).
    if (length < path.size()) {
      path.resize(length);
      return Narrow(path);
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

void ShowErrorBox(std::string_view utf8) {
  const std::wstring caption = Widen(ApplicationTitle(ProgramFilePath()));
  ::MessageBoxW(nullptr, Widen(utf8).c_str(), caption.c_str(), MB_ICONSTOP | MB_OK);
}

}  // namespace tarvik::win32
