#include "dpi.h"

namespace tarvik::win32 {
namespace {

// Looks a function up in a system DLL that is loaded already or can be.
template <class Function>
Function Lookup(const wchar_t* module, const char* name) {
  HMODULE handle = ::GetModuleHandleW(module);
  if (handle == nullptr) handle = ::LoadLibraryExW(module, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (handle == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(handle, name)));
}

// DPI_AWARENESS_CONTEXT values, which older SDKs lack.
const auto kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4));
const auto kPerMonitorAware = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-3));
constexpr int kProcessPerMonitorDpiAware = 2;  // PROCESS_DPI_AWARENESS

}  // namespace

void EnableDpiAwareness() {
  using SetContext = BOOL(WINAPI*)(HANDLE);
  if (const auto set = Lookup<SetContext>(L"user32.dll", "SetProcessDpiAwarenessContext")) {
    if (set(kPerMonitorAwareV2) || set(kPerMonitorAware)) return;
    // Refused because the manifest has set it already: nothing more to do.
    if (::GetLastError() == ERROR_ACCESS_DENIED) return;
  }
  using SetAwareness = HRESULT(WINAPI*)(int);
  if (const auto set = Lookup<SetAwareness>(L"shcore.dll", "SetProcessDpiAwareness")) {
    if (SUCCEEDED(set(kProcessPerMonitorDpiAware))) return;
  }
  ::SetProcessDPIAware();
}

UINT DpiOfWindow(HWND window) {
  using GetDpi = UINT(WINAPI*)(HWND);
  static const auto getDpi = Lookup<GetDpi>(L"user32.dll", "GetDpiForWindow");
  if (getDpi != nullptr && window != nullptr) {
    if (const UINT dpi = getDpi(window); dpi != 0) return dpi;
  }
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

SIZE OuterSize(int width, int height, DWORD style, DWORD exStyle, UINT dpi) {
  RECT rect{0, 0, width, height};
  using Adjust = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjust = Lookup<Adjust>(L"user32.dll", "AdjustWindowRectExForDpi");
  if (adjust == nullptr || !adjust(&rect, style, FALSE, exStyle, dpi))
    ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace tarvik::win32
