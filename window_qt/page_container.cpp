#include "page_container.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace tarvik::ui {

QSize LockedTabBar::tabSizeHint(int index) const {
  // One pixel wide; the row keeps the height the style gives a tab.
  return {1, QTabBar::tabSizeHint(index).height()};
}

QSize LockedTabBar::minimumTabSizeHint(int index) const { return tabSizeHint(index); }

void LockedTabBar::keyPressEvent(QKeyEvent* event) { event->ignore(); }
void LockedTabBar::wheelEvent(QWheelEvent* event) { event->ignore(); }
void LockedTabBar::mousePressEvent(QMouseEvent* event) { event->ignore(); }
void LockedTabBar::mouseDoubleClickEvent(QMouseEvent* event) { event->ignore(); }

PageContainer::PageContainer(QWidget* parent) : QTabWidget(parent), bar_(new LockedTabBar(this)) {
  bar_->setUsesScrollButtons(false);
  bar_->setExpanding(false);
  setTabBar(bar_);
  // Flat: the pages draw no frame of their own, and the tab row no base
  // line (document mode turns the base line on, so it goes off after).
  setDocumentMode(true);
  bar_->setDrawBase(false);
  // Nothing to do there with the keyboard: Tab goes straight to the page's
  // controls, and the focus lands there after a page change.
  bar_->setFocusPolicy(Qt::NoFocus);
  setFocusPolicy(Qt::NoFocus);
}

void PageContainer::HideTabs() {
  for (int i = 0; i < count(); ++i) {
    setTabText(i, QString());
    setTabVisible(i, i == 0);
  }
}

// The container's only keys are the page switches; none of them may act.
void PageContainer::keyPressEvent(QKeyEvent* event) { event->ignore(); }

}  // namespace tarvik::ui
