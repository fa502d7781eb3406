#pragma once
// A real event loop run from a test, as the program's main loop runs: the
// window's idle hook fires each time the loop is about to wait (processEvents,
// as in QTest::qWait, never waits, so the hook never runs there).
#include <functional>

namespace tarvik::testing {

// Runs the loop until done() holds (checked every few milliseconds) or
// timeoutMs has passed; returns done().
bool RunLoopUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Runs the loop for the given time: for showing that nothing happens.
void RunLoop(int milliseconds = 20);

}  // namespace tarvik::testing
