#pragma once
// What the window tells a screen reader beyond what Qt tells of its widgets:
// the window is a frame, a text list is one piece of static text, a bar's
// value is told at most every tenth of the way, and announcements.
#include <QString>
#include <QWidget>

namespace tarvik::ui {

// Installs, once, the accessible interfaces of the window's own widgets and
// the filter of the bars' value changes. Needs the application object.
void InstallAccessibility();

// What a screen reader is told when an indicator appears: a widget never
// drawn on the screen, whose name, given once, is the text. Orca speaks a
// notification when it becomes showing, so Say() hides and shows it.
class Announcer : public QWidget {
  Q_OBJECT
 public:
  Announcer(QWidget* window, const QString& text);

  void Say();
  void Quiet() { hide(); }
};

}  // namespace tarvik::ui
