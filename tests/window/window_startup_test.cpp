// The window right after start-up, with and without a welcome file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

#include "glyph_label.h"
#include "page_container.h"
#include "text_list.h"
#include "welcome_text.h"
#include "window_harness.h"

namespace tarvik::testing {
namespace {

TEST(WindowStartUp, OpensOnPageOneWithOnlyItsButtonsAndNoIndicator) {
  WindowHarness h;
  ui::FormWindow& window = *h.window;
  TForm1& form = window.Form1();
  Widgets& ui = *h.widgets;
  EXPECT_EQ(form.ActivePage(), 1);
  EXPECT_TRUE(ui.btnBACK->isHidden());
  EXPECT_FALSE(ui.btnESC->isHidden());
  EXPECT_TRUE(ui.btnESC->isEnabled());
  EXPECT_FALSE(ui.btnNEXT->isHidden());
  EXPECT_TRUE(ui.btnNEXT->isEnabled());
  EXPECT_EQ(ui.btnNEXT->text(), QStringLiteral("Далее"));
  EXPECT_TRUE(ui.btnConnect->isEnabled());
  EXPECT_TRUE(ui.cbKeepUser->isChecked());
  for (QWidget* indicator :
       std::initializer_list<QWidget*>{ui.lbConnected, ui.lbNotConnected, ui.txtConnOK,
        ui.txtConnFail, ui.lbWrite, ui.BarWrite, ui.lbWriteOn, ui.lbWriteOK,
        ui.lbWriteErr, ui.lbVerify, ui.BarVerify, ui.lbVerifyOn, ui.lbVerifyOK,
        ui.lbVerifyErr, ui.txtWriteOK, ui.txtWriteFail, ui.ListWriteOK,
        ui.ListWriteFail})
    EXPECT_TRUE(indicator->isHidden()) << indicator->objectName().toStdString();
  EXPECT_FALSE(form.FSynced);
  EXPECT_FALSE(form.FPortOpen);
  EXPECT_EQ(form.FDeviceEvent, 0);
  EXPECT_EQ(form.FBlockSize, 128);
  EXPECT_EQ(h.notifications.registrations, 1);
  // Nothing is default: Enter belongs to the focused button alone.
  for (auto* button : window.findChildren<QPushButton*>()) {
    EXPECT_FALSE(button->isDefault());
    EXPECT_TRUE(button->autoDefault());
  }
}

TEST(WindowStartUp, KeyboardOrderIsPagesSideListCancelBackNext) {
  WindowHarness h;
  ui::FormWindow& window = *h.window;
  TForm1& form = window.Form1();
  Widgets& ui = *h.widgets;
  ui.PageControl1->setCurrentIndex(1);  // page 2: Back shows
  form.UpdateButtons();
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  // The window's own controls in the order Tab visits them.
  QList<QWidget*> order;
  QWidget* w = &window;
  do {
    w = w->nextInFocusChain();
    QWidget* top = w;
    while (top->parentWidget() != nullptr && top->parentWidget() != &window) top = top->parentWidget();
    if (top->parentWidget() == &window && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(&window) &&
        !order.contains(top))
      order << top;
  } while (w != &window);
  const QList<QWidget*> expected = {ui.PageControl1, ui.ListBox3, ui.btnESC, ui.btnBACK,
                                    ui.btnNEXT};
  EXPECT_EQ(order, expected);
  // The stops themselves: the page's text comes first, the page container
  // and its tab row are none.
  QList<QWidget*> stops;
  for (w = window.nextInFocusChain(); w != &window; w = w->nextInFocusChain())
    if ((w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && w->isVisibleTo(&window) &&
        w->focusProxy() == nullptr)
      stops << w;
  EXPECT_EQ(stops, (QList<QWidget*>{ui.ListBox1, ui.ListBox3, ui.btnESC, ui.btnBACK, ui.btnNEXT}));
}

// The box that the welcome text's failure shows, caught while it is up.
struct ShownBox {
  bool seen = false;
  QString text;
  QString caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool windowVisible = true;
};

TEST(WindowStartUp, WithoutWelcomeFileTheErrorBoxComesFirstAndTheBuiltInTextStays) {
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(GetWelcomeDirs().empty));
  ShownBox box;
  QTimer watcher;
  watcher.setInterval(5);
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (shown == nullptr) return;
    box.seen = true;
    box.text = shown->text();
    box.caption = shown->windowTitle();
    box.icon = shown->icon();
    box.windowVisible = false;
    for (QWidget* top : QApplication::topLevelWidgets())
      if (qobject_cast<ui::FormWindow*>(top) && top->isVisible()) box.windowVisible = true;
    shown->accept();
  });
  watcher.start();
  WindowHarness h;
  watcher.stop();
  QDir::setCurrent(previous);

  ASSERT_TRUE(box.seen);
  EXPECT_FALSE(box.windowVisible);
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_EQ(box.caption.toStdString(),
            ApplicationTitle(QCoreApplication::applicationFilePath().toStdString()));
  EXPECT_TRUE(box.text.startsWith(QStringLiteral("Cannot open file \"") + GetWelcomeDirs().empty))
      << box.text.toStdString();

  // The set-up ran to its end.
  ui::FormWindow& window = *h.window;
  TForm1& form = window.Form1();
  Widgets& ui = *h.widgets;
  EXPECT_EQ(form.ActivePage(), 1);
  EXPECT_TRUE(ui.btnBACK->isHidden());
  EXPECT_EQ(h.notifications.registrations, 1);

  const QStringList lines = ui.RichEdit1->toPlainText().split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 18);
  const char* const expected[] = {
      "Спасибо за Выбор! ",
      "GPS Tarvik - с нами безопасно!",
      "Данная программа обновит программное ",
      "обеспечение. Во время обновления ",
      "категорически запрещается отсоединять ",
      "разъемы и нажимать на Тревожную кнопку во ",
      "избежание записи ошибочных данных. ",
      "ВНИМАНИЕ! Для работы данной программы ",
      "необходимо установить драйвер виртуального ",
      "\u0421\u041E\u041C порта фирмы Silicon Laboratories.",
      "Файл CP210x_VCP_Win_XP_S2K3_Vista_7.exe ",
      "находится в архиве, и также доступен по ссылке  ",
  };
  for (int i = 0; i < 12; ++i) EXPECT_EQ(lines.at(i), QString::fromUtf8(expected[i])) << i + 1;
  EXPECT_TRUE(lines.at(12).contains(QStringLiteral("silabs.com")));
  EXPECT_EQ(lines.at(15), QString());
  EXPECT_EQ(lines.at(16), QStringLiteral("Если драйвер еще не установлен, установите "));
  EXPECT_EQ(lines.at(17), QStringLiteral("его."));
  EXPECT_EQ(ui.RichEdit1->font().pixelSize(), 17);
}

TEST(WindowStartUp, ALongWelcomeTextOpensAtItsFirstLine) {
  const struct {
    const char* name;
    QByteArray content;
  } rows[] = {
      {"rich text", QByteArray("{\\rtf1\\ansi {\\b First line}\\par ") +
                        QByteArray("more\\par ").repeated(60) + "last\\par}"},
      {"plain text", QByteArray("First line\n") + QByteArray("more\n").repeated(60) + "last"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("text.rtf")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(row.content);
    file.close();
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    WindowHarness h;
    QDir::setCurrent(previous);
    h.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(h.window.get()));
    QTextEdit& box = *h.widgets->RichEdit1;
    EXPECT_GT(box.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(box.verticalScrollBar()->value(), 0);
    EXPECT_EQ(box.cursorForPosition(QPoint(4, 4)).block().text(), QStringLiteral("First line"));
  }
}

}  // namespace
}  // namespace tarvik::testing
