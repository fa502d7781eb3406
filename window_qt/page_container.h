#pragma once
// The wizard's page container. Only the wizard's buttons (and the connect on
// arrival) change the page: the user gets no tab to click, the tab row is a
// single one-pixel tab that the side panel covers, and neither the tab
// row's keys and wheel nor the container's Ctrl+Tab / Ctrl+PgUp / Ctrl+PgDn
// move to another page. Neither it nor its tab row is a Tab stop.
#include <QTabBar>
#include <QTabWidget>

namespace tarvik::ui {

class LockedTabBar : public QTabBar {
  Q_OBJECT
 public:
  using QTabBar::QTabBar;

 protected:
  QSize tabSizeHint(int index) const override;
  QSize minimumTabSizeHint(int index) const override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class PageContainer : public QTabWidget {
  Q_OBJECT
 public:
  explicit PageContainer(QWidget* parent);

  // Keeps the first page's tab (with no caption) and hides the others.
  void HideTabs();

  LockedTabBar* lockedTabBar() const { return bar_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  LockedTabBar* bar_;
};

}  // namespace tarvik::ui
