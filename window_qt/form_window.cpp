// The window's life: FormCreate at the end of construction, the view the
// form draws through, the idle moments of the main loop and closing.
#include "form_window.h"

#include <QAbstractEventDispatcher>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTextCursor>
#include <QTextEdit>
#include <QThread>

#include <algorithm>
#include <utility>

#include "Update_Main/welcome_messages.h"
#include "accessibility.h"
#include "error_box.h"
#include "page_container.h"
#include "welcome_text.h"

namespace tarvik::ui {

FormWindow::FormWindow(SerialApi& serial, DeviceInfoApi& devices,
                       DeviceNotifications* notifications, QWidget* parent)
    : QWidget(parent) {
  BuildControls();
  form_.emplace(*this, serial, devices, notifications);

  // The application's idle event: the main loop is about to wait for the
  // next message. Queued connections would run inside the update's message
  // processing, so the hook is called directly.
  connect(QAbstractEventDispatcher::instance(thread()), &QAbstractEventDispatcher::aboutToBlock,
          this, &FormWindow::OnLoopAboutToWait, Qt::DirectConnection);
}

FormWindow::~FormWindow() = default;

void FormWindow::OnLoopAboutToWait() {
  // A message box or a dialog runs a loop of its own: not the main loop's idle.
  if (QThread::currentThread()->loopLevel() > 1) return;
  if (form_) form_->ApplicationEvents1Idle();
}

void FormWindow::closeEvent(QCloseEvent* event) {
  if (form_) form_->FormClose();
  event->accept();
}

int FormWindow::ActivePage() const { return pages_->currentIndex() + 1; }

void FormWindow::ShowPage(int page) {
  if (page == ActivePage()) return;
  pages_->setCurrentIndex(page - 1);
  // What was said of the page left is over.
  for (Announcer* announcer : announcers_)
    if (announcer != nullptr) announcer->Quiet();
  pendingAnnouncements_.clear();
  parkedOn_ = nullptr;
  focusPending_ = true;
  QueuePresent();
}

void FormWindow::HidePageTabs() { pages_->HideTabs(); }

void FormWindow::SetVisible(form::Id control, bool visible) {
  QWidget* widget = Widget(control);
  if (widget == nullptr) return;
  const bool wasShowing = widget->isVisible();
  widget->setVisible(visible);
  Announcer* announcer = AnnouncerOf(control);
  if (announcer == nullptr) return;
  if (!visible) {
    announcer->Quiet();
    std::erase(pendingAnnouncements_, control);
  } else if (!wasShowing && widget->isVisible()) {
    // Whichever handler shows it: only what appears on the page shown.
    pendingAnnouncements_.push_back(control);
    QueuePresent();
  }
}

void FormWindow::SetEnabled(form::Id control, bool enabled) {
  QWidget* widget = Widget(control);
  if (widget == nullptr) return;
  if (enabled || widget != focusWidget()) {
    widget->setEnabled(enabled);
    return;
  }
  // Qt would hand the focus of a button that goes grey to the next control
  // in the chain, which a screen reader would read out first.
  widget->clearFocus();
  widget->setEnabled(false);
  MoveFocusOffDisabled();
}

void FormWindow::MoveFocusOffDisabled() {
  // Next, the wizard's way on, when it can be pressed; else the page's first
  // control, or the first after it: during the update that is the side
  // list, never Cancel, which a Return or a Space meant for the screen
  // reader would press.
  QWidget* next = Widget(form::Id::btnNEXT);
  if (next->isVisible() && next->isEnabled())
    next->setFocus(Qt::OtherFocusReason);
  else
    FocusFirstStop();
}

void FormWindow::FocusFirstStop() {
  QWidget* first = FirstStop(pages_->currentWidget());
  if (first == nullptr) return;
  first->setFocus(Qt::OtherFocusReason);
  // Off the page (the side list, while the update runs): only until a way
  // on can be pressed again (AfterClick).
  parkedOn_ = pages_->currentWidget()->isAncestorOf(first) ? nullptr : first;
}

void FormWindow::AfterClick() {
  // The update has ended: the focus goes from where it waited to the way
  // on, Next after a success, Back (to try again) after a failure.
  if (parkedOn_ == nullptr || focusWidget() != parkedOn_) return;
  for (form::Id way : {form::Id::btnNEXT, form::Id::btnBACK}) {
    QWidget* button = Widget(way);
    if (button->isVisible() && button->isEnabled()) {
      parkedOn_ = nullptr;
      button->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
}

QWidget* FormWindow::FirstStop(QWidget* from) const {
  for (QWidget* w = from->nextInFocusChain(); w != from && w != nullptr; w = w->nextInFocusChain()) {
    if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus &&
        w->focusProxy() == nullptr && isAncestorOf(w))
      return w;
  }
  return nullptr;
}

void FormWindow::QueuePresent() {
  if (presentQueued_) return;
  presentQueued_ = true;
  QMetaObject::invokeMethod(this, &FormWindow::Present, Qt::QueuedConnection);
}

void FormWindow::Present() {
  presentQueued_ = false;
  std::vector<form::Id> said = std::exchange(pendingAnnouncements_, {});
  if (std::exchange(focusPending_, false)) {
    // The page's text is read once, as the name of its first control; then
    // whatever result the page shows as it appears (the jump on plug-in
    // keeps the connection's).
    FocusFirstStop();
    said = AnnouncingOnPage(ActivePage());
  }
  for (form::Id control : said)
    if (Widget(control)->isVisible()) AnnouncerOf(control)->Say();
}

std::vector<form::Id> FormWindow::AnnouncingOnPage(int page) const {
  std::vector<form::Id> shown;
  for (const form::ControlDescription& c : form::Controls())
    if (c.parent == form::PageId(page) && AnnouncerOf(c.id) != nullptr && Widget(c.id)->isVisible())
      shown.push_back(c.id);
  return shown;
}

void FormWindow::SetCaption(form::Id control, std::string_view utf8) {
  const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  QWidget* widget = Widget(control);
  if (auto* button = qobject_cast<QAbstractButton*>(widget))
    button->setText(text);
  else if (auto* label = qobject_cast<QLabel*>(widget))
    label->setText(text);
}

void FormWindow::SetBarPosition(form::Id bar, int position) {
  if (auto* progress = WidgetAs<QProgressBar>(bar)) progress->setValue(position);
}

bool FormWindow::IsChecked(form::Id checkBox) const {
  const auto* box = WidgetAs<QCheckBox>(checkBox);
  return box != nullptr && box->isChecked();
}

void FormWindow::ProcessMessages() {
  // Repaints, screen readers' requests (they come as posted events) and
  // input to the enabled controls (Cancel, the close box); the idle hook
  // does not run here.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void FormWindow::Close() { close(); }

WelcomeFileLoad FormWindow::LoadWelcomeFile() {
  auto* box = WidgetAs<QTextEdit>(form::Id::RichEdit1);
  const WelcomeFileLoad load = LoadWelcomeText(*box->document(), box->font());
  // The text is read from its first line: the box's cursor, and with it the
  // view, goes back to the start of the new content.
  box->moveCursor(QTextCursor::Start);
  return load;
}

void FormWindow::ShowErrorBox(std::string_view utf8) { ui::ShowErrorBox(utf8); }

void FormWindow::RegisterDeviceNotifications(DeviceNotifications* source) {
  // Linux (udev) and tests: the source's descriptor is watched by the loop.
  if (source == nullptr) return;
  const int descriptor = source->PollDescriptor();
  if (descriptor < 0) return;
  notifier_ = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [source] { source->Dispatch(); });
}

}  // namespace tarvik::ui
