// The window tests run without a display: the offscreen platform at a scale
// of one, so sizes are the form's pixels. They run in a directory of their
// own holding a plain-text "text.rtf", so that no error box stops the window
// from being built; the tests of the built-in text leave it for an empty one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "window_harness.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QT_SCALE_FACTOR", "1");
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);

  QTemporaryDir workDir;
  if (!workDir.isValid()) return 2;
  tarvik::testing::WelcomeDirs dirs;
  dirs.withText = workDir.filePath(QStringLiteral("with_text"));
  dirs.empty = workDir.filePath(QStringLiteral("empty"));
  QDir().mkpath(dirs.withText);
  QDir().mkpath(dirs.empty);
  QFile text(dirs.withText + QStringLiteral("/text.rtf"));
  if (!text.open(QIODevice::WriteOnly)) return 2;
  text.write(tarvik::testing::kTestWelcomeText);
  text.close();
  tarvik::testing::SetWelcomeDirs(dirs);
  QDir::setCurrent(dirs.withText);

  return RUN_ALL_TESTS();
}
