// The keyboard cannot change the page, Enter presses only the focused
// button and Esc presses none.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTextEdit>

#include "page_container.h"
#include "text_list.h"
#include "window_harness.h"

namespace tarvik::testing {
namespace {

class WindowKeyboard : public ::testing::Test {
 protected:
  WindowHarness h;
  ui::FormWindow& window = *h.window;
  TForm1& form = window.Form1();
  Widgets& ui = *h.widgets;

  void SetUp() override {
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  void Press(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    target->setFocus();
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
  }
};

TEST_F(WindowKeyboard, NoKeyMovesToAnotherPage) {
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
  } keys[] = {
      {Qt::Key_Tab, Qt::ControlModifier},
      {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier},
      {Qt::Key_PageDown, Qt::ControlModifier},
      {Qt::Key_PageUp, Qt::ControlModifier},
      {Qt::Key_Right, {}},
      {Qt::Key_Left, {}},
      {Qt::Key_Down, {}},
      {Qt::Key_Up, {}},
      {Qt::Key_Home, {}},
      {Qt::Key_End, {}},
  };
  for (int page : {1, 3, 5}) {
    ui.PageControl1->setCurrentIndex(page - 1);
    form.UpdateButtons();
    QWidget* pageChild = page == 1 ? static_cast<QWidget*>(ui.RichEdit1)
                         : page == 3 ? static_cast<QWidget*>(ui.ListBox2)
                                     : static_cast<QWidget*>(ui.ListBox4);
    QWidget* targets[] = {ui.PageControl1->tabBar(), pageChild, ui.ListBox3, ui.btnESC};
    for (QWidget* target : targets) {
      for (const auto& k : keys) {
        if (!target->isVisible()) continue;
        Press(target, k.key, k.modifiers);
        ASSERT_EQ(form.ActivePage(), page)
            << "key " << k.key << " on " << target->metaObject()->className();
      }
    }
  }
}

TEST_F(WindowKeyboard, TheWheelOverTheTabRowMovesNothing) {
  QTabBar* bar = ui.PageControl1->tabBar();
  QWheelEvent wheel(QPointF(1, 1), bar->mapToGlobal(QPointF(1, 1)), QPoint(), QPoint(0, -120),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(bar, &wheel);
  EXPECT_EQ(form.ActivePage(), 1);
}

TEST_F(WindowKeyboard, EnterPressesTheFocusedButtonOnly) {
  Press(ui.ListBox3, Qt::Key_Return);
  EXPECT_EQ(form.ActivePage(), 1);
  Press(ui.btnNEXT, Qt::Key_Return);
  EXPECT_EQ(form.ActivePage(), 2);
  Press(ui.btnBACK, Qt::Key_Enter);
  EXPECT_EQ(form.ActivePage(), 1);
}

TEST_F(WindowKeyboard, EscapePressesNoButton) {
  for (QWidget* target :
       {static_cast<QWidget*>(ui.ListBox3), static_cast<QWidget*>(ui.btnNEXT),
        static_cast<QWidget*>(ui.RichEdit1)}) {
    Press(target, Qt::Key_Escape);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(form.ActivePage(), 1);
  }
}

}  // namespace
}  // namespace tarvik::testing
