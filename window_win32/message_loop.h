#pragma once
// The message loops of the program: the main loop, which gives the form its
// idle moment whenever the queue runs empty, and the dispatching of waiting
// messages from inside the update, which gives it none.
#include "win32_headers.h"

namespace tarvik::win32 {

class FormWindow;

// Runs until the window has closed (WM_QUIT): takes every waiting message,
// then runs the form's idle step once, then waits for the next message.
// Returns WM_QUIT's exit code.
int RunMessageLoop(FormWindow& window);

// One round of the main loop without the wait: every waiting message, then
// the idle step. False when WM_QUIT came (it is taken from the queue).
bool RunUntilIdle(FormWindow& window);

// Dispatches what is waiting, through the window's dialog keys, and returns.
// A WM_QUIT is put back for the main loop. No idle step.
void DispatchWaitingMessages(FormWindow* window);

}  // namespace tarvik::win32
