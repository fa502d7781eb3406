#include "accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QStackedWidget>

#include "form_window.h"
#include "page_container.h"
#include "progress_bar.h"
#include "text_list.h"

namespace tarvik::ui {
namespace {

// A list box used as text reads as what it looks like, printed text: one
// label whose name is its lines joined, with no lines of its own to select.
class TextListAccessible : public QAccessibleWidget {
 public:
  explicit TextListAccessible(QWidget* list) : QAccessibleWidget(list, QAccessible::StaticText) {}
  int childCount() const override { return 0; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
};

bool Is(const QString& className, const QMetaObject& type) {
  return className == QLatin1String(type.className());
}

// Qt asks with each class name of the object, the most derived first; the
// window's own classes come before Qt's, whose factory would take them as
// their base class.
QAccessibleInterface* Factory(const QString& className, QObject* object) {
  auto* widget = qobject_cast<QWidget*>(object);
  if (widget == nullptr) return nullptr;
  // Qt takes a window of no special kind for a filler; this one is the
  // program's frame.
  if (Is(className, FormWindow::staticMetaObject))
    return new QAccessibleWidget(widget, QAccessible::Window);
  if (Is(className, TextList::staticMetaObject)) return new TextListAccessible(widget);
  if (Is(className, Announcer::staticMetaObject))
    return new QAccessibleWidget(widget, QAccessible::Notification);
  // Qt gives the stack of pages inside the page container the role of a
  // layered pane, and Orca names a layered pane whenever the focus enters
  // it: "layered pane" at every page change, which tells the owner nothing.
  // As a plain container it is passed over, like the pages themselves.
  if (Is(className, QStackedWidget::staticMetaObject) &&
      qobject_cast<PageContainer*>(widget->parentWidget()) != nullptr)
    return new QAccessibleWidget(widget, QAccessible::Client);
  return nullptr;
}

QAccessible::UpdateHandler previousHandler = nullptr;

// The bars move every block, a few tenths of a percent at a time: a screen
// reader hears of a value at most once every tenth of the way (it then
// decides itself how often it speaks). Everything else passes.
void FilterUpdates(QAccessibleEvent* event) {
  if (event->type() == QAccessible::ValueChanged) {
    if (auto* bar = qobject_cast<ProgressBar*>(event->object())) {
      const auto* change = static_cast<QAccessibleValueChangeEvent*>(event);
      if (!bar->TakeValueReport(change->value().toInt())) return;
    }
  }
  if (previousHandler != nullptr) {
    previousHandler(event);
    return;
  }
  // Without a handler Qt hands the event to the platform's bridge; there is
  // no other way to reach it than stepping aside for this one event.
  QAccessible::installUpdateHandler(nullptr);
  QAccessible::updateAccessibility(event);
  QAccessible::installUpdateHandler(FilterUpdates);
}

}  // namespace

void InstallAccessibility() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  QAccessible::installFactory(Factory);
  previousHandler = QAccessible::installUpdateHandler(FilterUpdates);
}

Announcer::Announcer(QWidget* window, const QString& text) : QWidget(window) {
  setAccessibleName(text);
  // Shown to a screen reader, never on the screen.
  setAttribute(Qt::WA_DontShowOnScreen);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  setGeometry(0, 0, 1, 1);
  hide();
}

void Announcer::Say() {
  hide();
  show();
}

}  // namespace tarvik::ui
