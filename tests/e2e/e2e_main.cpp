// The wizard end to end: the window offscreen over the real Linux layers,
// run inside a umockdev testbed (see CMakeLists.txt for the scenarios).
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include <QApplication>

#include "e2e_options.h"
#include "testbed_control.h"

namespace tarvik::e2e {
namespace {
std::string gMemoryOut;
}
const std::string& MemoryOutPath() { return gMemoryOut; }
}  // namespace tarvik::e2e

int main(int argc, char** argv) {
  tarvik::e2e::UseOffscreenPlatform();
  ::testing::InitGoogleTest(&argc, argv);
  constexpr char kMemoryOut[] = "--memory-out=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kMemoryOut, sizeof kMemoryOut - 1) == 0)
      tarvik::e2e::gMemoryOut = argv[i] + sizeof kMemoryOut - 1;
  }
  QApplication app(argc, argv);
  // "OK" closes the window; the tests go on with a new one.
  QApplication::setQuitOnLastWindowClosed(false);

  tarvik::e2e::WelcomeTextDir workDir;
  if (!workDir.valid()) return 2;
  return RUN_ALL_TESTS();
}
