// GoogleTest entry for tests that need a Qt application (fonts, documents,
// message boxes). Runs headless on the offscreen platform unless the
// environment asks for another one.
#include <gtest/gtest.h>

#include <QApplication>

#include <vector>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  std::vector<char*> args(argv, argv + argc);
  char platformOption[] = "-platform";
  char offscreen[] = "offscreen";
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    args.push_back(platformOption);
    args.push_back(offscreen);
  }
  int qtArgc = static_cast<int>(args.size());
  args.push_back(nullptr);
  QApplication app(qtArgc, args.data());
  return RUN_ALL_TESTS();
}
