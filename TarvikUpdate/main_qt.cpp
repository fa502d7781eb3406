// The program entry on Linux: the Qt application, the check of the embedded
// firmware, the one window, the message loop. The program ends when the
// window closes.
#include <QApplication>
#include <QIcon>
#include <cstdlib>
#include <string>

#include "Update_Main/welcome_messages.h"
#include "platform_layers.h"
#include "release_info.h"
#include "sha256.h"
#include "window_qt/error_box.h"
#include "window_qt/form_window.h"

int main(int argc, char* argv[]) {
  // The program reads no command line: the toolkit is given the program's
  // own name and nothing else, so no option can reach it.
  char fallbackName[] = "TarvikUpdate";
  char* programName = argc > 0 && argv[0] != nullptr ? argv[0] : fallbackName;
  char* toolkitArgv[] = {programName, nullptr};
  int toolkitArgc = 1;
  QApplication app(toolkitArgc, toolkitArgv);
  // No title of the program's own: the error box derives one from the
  // program file's name. (A display name would be appended to the window's
  // caption by the toolkit, so it is not set.) The desktop file's name lets
  // a Wayland desktop match the window to its menu entry and icon.
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/artwork/icon.png")));
  QGuiApplication::setDesktopFileName(QStringLiteral(TARVIK_APP_ID));

  // A damaged program file would write damaged firmware: say so and end,
  // before any window and without touching a port.
  const std::string damaged = tarvik::DamagedProgramText(PlatformSha256);
  if (!damaged.empty()) {
    tarvik::ui::ShowErrorBox(damaged);
    return EXIT_FAILURE;
  }

  PlatformLayers platform;
  tarvik::ui::FormWindow Form1(platform.serial(), platform.devices(), platform.notifications());
  Form1.show();
  return QApplication::exec();
}
