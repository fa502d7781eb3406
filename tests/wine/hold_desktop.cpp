// Brings Wine's desktop up and holds it for the whole Windows test stage
// (scripts/wine-tests.sh runs it before the tests and ends it after them).
//
// Without it the desktop comes and goes with the tests: the first test that
// makes a window has Wine start explorer.exe, the desktop's owner, and waits
// for it; a test that makes its first window while explorer is still starting
// finds the desktop window without its display driver, settles on the
// driver-less stub for good, and every window it creates comes back NULL.
// Once the last user has gone, Wine closes the desktop after a second, and the
// next test starts it all over. Held here, the desktop is ready before the
// first test and stays so until the last one has ended.
//
// Prints "ready" once it has made a window (then the desktop, display driver
// included, is up), and holds the desktop until its standard input ends.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>

int main() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ::DefWindowProcW;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"TarvikHoldDesktop";
  ::RegisterClassW(&windowClass);
  const HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0,
                                        HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) {
    std::fprintf(stderr, "hold_desktop: no window (error %lu): the desktop did not come up\n",
                 ::GetLastError());
    return 1;
  }
  std::puts("ready");
  std::fflush(stdout);
  char byte = 0;
  while (std::fread(&byte, 1, 1, stdin) == 1) {
  }
  ::DestroyWindow(window);
  return 0;
}
