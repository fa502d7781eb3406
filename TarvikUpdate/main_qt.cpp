// The program entry on Linux: the Qt application, the one window, the
// message loop. The program ends when the window closes.
#include <QApplication>
#include <QIcon>

#include "platform_layers.h"
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
  // caption by the toolkit, so it is not set.)
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/artwork/icon.png")));

  PlatformLayers platform;
  tarvik::ui::FormWindow Form1(platform.serial(), platform.devices(), platform.notifications());
  Form1.show();
  return QApplication::exec();
}
