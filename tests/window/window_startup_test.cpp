// The window right after start-up, with and without a welcome file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
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
  TForm1& form = *h.form;
  EXPECT_EQ(form.ActivePage(), 1);
  EXPECT_TRUE(form.btnBACK->isHidden());
  EXPECT_FALSE(form.btnESC->isHidden());
  EXPECT_TRUE(form.btnESC->isEnabled());
  EXPECT_FALSE(form.btnNEXT->isHidden());
  EXPECT_TRUE(form.btnNEXT->isEnabled());
  EXPECT_EQ(form.btnNEXT->text(), QStringLiteral("Далее"));
  EXPECT_TRUE(form.btnConnect->isEnabled());
  EXPECT_TRUE(form.cbKeepUser->isChecked());
  for (QWidget* indicator :
       std::initializer_list<QWidget*>{form.lbConnected, form.lbNotConnected, form.txtConnOK,
        form.txtConnFail, form.lbWrite, form.BarWrite, form.lbWriteOn, form.lbWriteOK,
        form.lbWriteErr, form.lbVerify, form.BarVerify, form.lbVerifyOn, form.lbVerifyOK,
        form.lbVerifyErr, form.txtWriteOK, form.txtWriteFail, form.ListWriteOK,
        form.ListWriteFail})
    EXPECT_TRUE(indicator->isHidden()) << indicator->objectName().toStdString();
  EXPECT_FALSE(form.FSynced);
  EXPECT_FALSE(form.FPortOpen);
  EXPECT_EQ(form.FDeviceEvent, 0);
  EXPECT_EQ(form.FBlockSize, 128);
  EXPECT_EQ(h.notifications.registrations, 1);
  // Nothing is default: Enter belongs to the focused button alone.
  for (auto* button : form.findChildren<QPushButton*>()) {
    EXPECT_FALSE(button->isDefault());
    EXPECT_TRUE(button->autoDefault());
  }
}

TEST(WindowStartUp, KeyboardOrderIsPagesSideListCancelBackNext) {
  WindowHarness h;
  TForm1& form = *h.form;
  form.PageControl1->setCurrentIndex(1);  // page 2: Back shows
  form.UpdateButtons();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  // The window's own controls in the order Tab visits them.
  QList<QWidget*> order;
  QWidget* w = &form;
  do {
    w = w->nextInFocusChain();
    QWidget* top = w;
    while (top->parentWidget() != nullptr && top->parentWidget() != &form) top = top->parentWidget();
    if (top->parentWidget() == &form && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(&form) &&
        !order.contains(top))
      order << top;
  } while (w != &form);
  const QList<QWidget*> expected = {form.PageControl1, form.ListBox3, form.btnESC, form.btnBACK,
                                    form.btnNEXT};
  EXPECT_EQ(order, expected);
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
      if (qobject_cast<TForm1*>(top) && top->isVisible()) box.windowVisible = true;
    shown->accept();
  });
  watcher.start();
  WindowHarness h;
  watcher.stop();
  QDir::setCurrent(previous);

  ASSERT_TRUE(box.seen);
  EXPECT_FALSE(box.windowVisible);
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_EQ(box.caption, ApplicationTitle(QCoreApplication::applicationFilePath()));
  EXPECT_TRUE(box.text.startsWith(QStringLiteral("Cannot open file \"") + GetWelcomeDirs().empty))
      << box.text.toStdString();

  // The set-up ran to its end.
  TForm1& form = *h.form;
  EXPECT_EQ(form.ActivePage(), 1);
  EXPECT_TRUE(form.btnBACK->isHidden());
  EXPECT_EQ(h.notifications.registrations, 1);

  const QStringList lines = form.RichEdit1->toPlainText().split(QLatin1Char('\n'));
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
  EXPECT_EQ(form.RichEdit1->font().pixelSize(), 17);
}

TEST(ApplicationTitle, IsTheProgramFileNameUpToItsFirstDotWithTheRestLowerCased) {
  const struct {
    const char* path;
    const char* title;
  } rows[] = {
      {"/usr/bin/TarvikUpdate", "Tarvikupdate"},
      {"/opt/tarvik/TarvikUpdate.exe", "Tarvikupdate"},
      {"TARVIK.UPDATE.EXE", "Tarvik"},
      {"/x/tarvikUPDATE", "tarvikupdate"},
      {"/x/T", "T"},
      {"/x/.hidden", ""},
  };
  for (const auto& row : rows)
    EXPECT_EQ(ApplicationTitle(QString::fromUtf8(row.path)), QString::fromUtf8(row.title))
        << row.path;
}

}  // namespace
}  // namespace tarvik::testing
