#include "message_loop.h"

#include "form_window.h"

namespace tarvik::win32 {
namespace {

void Dispatch(FormWindow* window, MSG& msg) {
  if (window != nullptr && window->TranslateDialogKey(msg)) return;
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}

// Every waiting message; false when WM_QUIT came.
bool DispatchAll(FormWindow* window, int& exitCode) {
  MSG msg{};
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      exitCode = static_cast<int>(msg.wParam);
      return false;
    }
    Dispatch(window, msg);
  }
  return true;
}

}  // namespace

int RunMessageLoop(FormWindow& window) {
  int exitCode = 0;
  for (;;) {
    if (!DispatchAll(&window, exitCode)) return exitCode;
    window.Idle();
    // Returns at once if the idle step itself queued something.
    ::WaitMessage();
  }
}

bool RunUntilIdle(FormWindow& window) {
  int exitCode = 0;
  if (!DispatchAll(&window, exitCode)) return false;
  window.Idle();
  return true;
}

void DispatchWaitingMessages(FormWindow* window) {
  int exitCode = 0;
  // The window closed from in here: the click that runs the update returns
  // first, then the main loop ends.
  if (!DispatchAll(window, exitCode)) ::PostQuitMessage(exitCode);
}

}  // namespace tarvik::win32
