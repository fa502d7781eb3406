#pragma once
// What a test or benchmark inside run_in_testbed.py needs around the window:
// the harness's control channel (plug and pull adapters), a real event loop
// to run until something has happened, and a working directory with a
// welcome text, so that no error box holds the window up.
#include <memory>
#include <string>

#include "tests/window/event_loop.h"

class QTemporaryDir;

namespace tarvik::e2e {

// True when the process runs under the umockdev preload with the harness's
// control channel.
bool InTestbed();

// Sends one command ("plug", "unplug", "plug other", ...) and waits for the
// harness's answer; true when it was "ok". The uevents have been sent by then.
bool Testbed(const std::string& command);

// A real event loop, as the program's main loop (tests/window/event_loop.h).
using testing::RunLoop;
using testing::RunLoopUntil;

// Makes a temporary directory holding a plain "text.rtf" the current one for
// as long as it lives.
class WelcomeTextDir {
 public:
  WelcomeTextDir();
  ~WelcomeTextDir();
  WelcomeTextDir(const WelcomeTextDir&) = delete;
  WelcomeTextDir& operator=(const WelcomeTextDir&) = delete;
  bool valid() const { return valid_; }

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  bool valid_ = false;
};

// Counts the descriptors this process has open (/proc/self/fd).
int OpenDescriptorCount();

// Sets up Qt for the window without a display: the offscreen platform at a
// scale of one. Call before the QApplication is made.
void UseOffscreenPlatform();

}  // namespace tarvik::e2e
