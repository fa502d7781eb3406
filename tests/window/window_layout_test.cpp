// The form, control by control: place, size, font, colour, text and whether
// it shows at start, checked against the live window.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QTextEdit>

#include <map>
#include <optional>

#include "glyph_label.h"
#include "page_container.h"
#include "release_info.h"
#include "text_list.h"
#include "window_harness.h"

namespace tarvik::testing {
namespace {

enum class Ink { Default, Text, Green, Red, Olive };

struct ControlRow {
  const char* name;
  const char* parent;  // "Form1" or the page
  int x, y, w, h;
  std::vector<const char*> lines;  // the text, one entry a line
  int pixelSize;                   // 0: not checked
  bool bold;
  Ink ink;
  bool shownAtStart;
  bool rightAligned = false;
};

// clang-format off
const std::vector<ControlRow> kControls = {
  // the window itself
  {"Image6", "Form1", 16, 40, 153, 89, {}, 0, false, Ink::Default, true},
  {"PageControl1", "Form1", 192, 0, 417, 348, {}, 11, false, Ink::Default, true},
  {"ListBox3", "Form1", 16, 168, 153, 193,
   {"Программа обновления", "встроенного программного", "обеспечения изделия", "GPS Tarvik", "",
    "версия: v." TARVIK_VERSION, "дата: " TARVIK_RELEASE_DATE, ""}, 11, false, Ink::Default, true},
  {"btnESC", "Form1", 200, 360, 89, 25, {"Отмена"}, 11, false, Ink::Default, true},
  {"btnBACK", "Form1", 344, 360, 89, 25, {"Назад"}, 11, false, Ink::Default, false},
  {"btnNEXT", "Form1", 488, 359, 89, 25, {"Далее"}, 11, false, Ink::Default, true},
  {"Panel1", "Form1", 104, 0, 177, 33, {}, 0, false, Ink::Default, true},
  {"StatusBar1", "Form1", 0, 392, 622, 17, {}, 0, false, Ink::Default, true},
  // page 1
  {"RichEdit1", "TabSheet1", 0, 16, 401, 289, {}, 17, false, Ink::Default, true},
  // page 2
  {"ListBox1", "TabSheet2", 0, 16, 377, 289,
   {"1. Снимите верхнюю крышку с устройства GPS ", "Tarvik", "", "2. Удалите батарейки ", "",
    "3. Подключите GPS Tarvik к модулю подачи ", "внешнего питания", "",
    "4. Подключите модуль внешнего питания с ", "помощью кабеля USB к ",
    "персональному компьютеру", "", "Если все сделано правильно, то после ",
    "подключения на устройстве ", "загорится светодиод (постоянное горение).", " ",
    "Для продолжения нажмите кнопку \"Далее\"", ""}, 13, true, Ink::Default, true},
  // page 3
  {"Label1", "TabSheet3", 8, 16, 150, 24, {"СОЕДИНЕНИЕ:"}, 19, true, Ink::Text, true},
  {"lbConnected", "TabSheet3", 248, 24, 135, 20, {"УСТАНОВЛЕНО"}, 16, true, Ink::Green, false, true},
  {"lbNotConnected", "TabSheet3", 218, 24, 165, 20, {"НЕ УСТАНОВЛЕНО"}, 16, true, Ink::Red, false, true},
  {"ListBox6", "TabSheet3", 8, 40, 209, 33,
   {"Проверьте правильность соединений и ", "нажмите кнопку \"Соединение\"."}, 11, false,
   Ink::Default, true},
  {"txtConnFail", "TabSheet3", 232, 40, 45, 75, {}, 64, false, Ink::Red, false},
  {"txtConnOK", "TabSheet3", 312, 40, 54, 75, {}, 64, false, Ink::Green, false},
  {"btnConnect", "TabSheet3", 8, 80, 89, 25, {"Соединение"}, 11, false, Ink::Default, true},
  {"ListBox2", "TabSheet3", 0, 120, 377, 153,
   {"Для сохранения пользовательских настроек, ", "таких как:", "- режим работы",
    "- номер владельца", "- пароль", "и т.д. установите флажок. В противном случае ",
    "после обновления все настройки будут ", "установлены в соответствии с заводскими.", ""},
   13, true, Ink::Default, true},
  {"cbKeepUser", "TabSheet3", 0, 280, 377, 33, {"Сохранить пользовательские настройки"}, 16, false,
   Ink::Text, true},
  // page 4
  {"lbWrite", "TabSheet4", 0, 16, 114, 24, {"ЗАГРУЗКА:"}, 19, true, Ink::Text, false},
  {"BarWrite", "TabSheet4", 0, 48, 273, 17, {}, 0, false, Ink::Default, false},
  {"lbWriteOn", "TabSheet4", 326, 48, 65, 20, {"ОБМЕН"}, 16, true, Ink::Olive, false, true},
  {"lbWriteOK", "TabSheet4", 366, 48, 25, 20, {"\u041E\u041A"}, 16, true, Ink::Green, false, true},
  {"lbWriteErr", "TabSheet4", 301, 48, 90, 20, {"ОШИБКА!!!"}, 16, true, Ink::Red, false, true},
  {"lbVerify", "TabSheet4", 0, 88, 117, 24, {"ПРОВЕРКА:"}, 19, true, Ink::Text, false},
  {"BarVerify", "TabSheet4", 0, 120, 273, 17, {}, 0, false, Ink::Default, false},
  {"lbVerifyOn", "TabSheet4", 326, 120, 65, 20, {"ОБМЕН"}, 16, true, Ink::Olive, false, true},
  {"lbVerifyOK", "TabSheet4", 366, 120, 25, 20, {"\u041E\u041A"}, 16, true, Ink::Green, false, true},
  {"lbVerifyErr", "TabSheet4", 301, 120, 90, 20, {"ОШИБКА!!!"}, 16, true, Ink::Red, false, true},
  {"txtWriteOK", "TabSheet4", 8, 184, 54, 75, {}, 64, false, Ink::Green, false},
  {"txtWriteFail", "TabSheet4", 8, 192, 45, 75, {}, 64, false, Ink::Red, false},
  {"ListWriteOK", "TabSheet4", 64, 192, 281, 49,
   {"Обновление успешно завершено! ", "Нажмите кнопку \"Далее\".", ""}, 13, true, Ink::Default,
   false},
  {"ListWriteFail", "TabSheet4", 64, 208, 281, 49,
   {"В случае ошибки, повторите ", "процедуру заново. Если ошибка не ",
    "пропадает, обратитесь к поставщику."}, 13, true, Ink::Default, false},
  // page 5
  {"ListBox4", "TabSheet5", 0, 32, 377, 241,
   {"ПОЗДРАВЛЯЕМ!", "", "Теперь в устройство загружена обновленная ",
    "версия программного обеспечения.", "", "Мы постоянно работаем над улучшением ",
    "программного обеспечения, делая работу ", "устройства GPS Tarvik более надежной, ",
    "дополняя и улучшая функционал!", "Спасибо, что используете GPS Tarvik.", ""}, 13, true,
   Ink::Default, true},
};
// clang-format on

QStringList Expected(const ControlRow& row) {
  QStringList lines;
  for (const char* line : row.lines) lines << QString::fromUtf8(line);
  return lines;
}

QStringList TextOf(QWidget* widget) {
  if (auto* list = qobject_cast<ui::TextList*>(widget)) return list->lines();
  if (qobject_cast<ui::GlyphLabel*>(widget)) return {};
  if (auto* label = qobject_cast<QLabel*>(widget))
    return label->text().isEmpty() ? QStringList() : QStringList{label->text()};
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return {button->text()};
  return {};
}

// How wide the control must be for its text to show whole.
int NeededWidth(QWidget* widget, const QStringList& lines) {
  int widest = 0;
  for (QString line : lines) {
    while (line.endsWith(QLatin1Char(' '))) line.chop(1);
    widest = std::max(widest, QFontMetrics(widget->font()).horizontalAdvance(line));
  }
  if (auto* list = qobject_cast<ui::TextList*>(widget)) widest += list->textMargins();
  return widest;
}

class WindowLayout : public ::testing::Test {
 protected:
  WindowHarness h;
  ui::FormWindow& window = *h.window;
  TForm1& form = window.Form1();
  Widgets& ui = *h.widgets;

  QWidget* Find(const char* name) {
    return window.findChild<QWidget*>(QString::fromLatin1(name));
  }
};

TEST_F(WindowLayout, EveryControlHasItsPlaceFontColourTextAndStartVisibility) {
  const QColor textColour = QApplication::palette().color(QPalette::WindowText);
  for (const ControlRow& row : kControls) {
    SCOPED_TRACE(row.name);
    QWidget* widget = Find(row.name);
    ASSERT_NE(widget, nullptr);
    ASSERT_NE(widget->parentWidget(), nullptr);
    const QString parentName = widget->parentWidget() == &window
                                   ? QStringLiteral("Form1")
                                   : widget->parentWidget()->objectName();
    EXPECT_EQ(parentName, QString::fromLatin1(row.parent));

    const QStringList text = TextOf(widget);
    EXPECT_EQ(text, Expected(row));

    // Top, height and the aligned edge are the form's. The width is too,
    // unless the fallback font needs more room: then it is exactly enough.
    const QRect g = widget->geometry();
    EXPECT_EQ(g.top(), row.y);
    EXPECT_EQ(g.height(), row.h);
    const int needed = NeededWidth(widget, text);
    EXPECT_EQ(g.width(), needed > row.w ? needed : row.w);
    if (row.rightAligned)
      EXPECT_EQ(g.left() + g.width(), row.x + row.w);
    else
      EXPECT_EQ(g.left(), row.x);

    if (row.pixelSize != 0) {
      EXPECT_EQ(widget->font().pixelSize(), row.pixelSize);
      EXPECT_EQ(widget->font().bold(), row.bold);
    }
    const QColor ink = widget->palette().color(QPalette::WindowText);
    switch (row.ink) {
      case Ink::Default: break;
      case Ink::Text: EXPECT_EQ(ink, textColour); break;
      case Ink::Green: EXPECT_EQ(ink, QColor(0, 128, 0)); break;
      case Ink::Red: EXPECT_EQ(ink, QColor(255, 0, 0)); break;
      case Ink::Olive: EXPECT_EQ(ink, QColor(128, 128, 0)); break;
    }
    EXPECT_EQ(!widget->isHidden(), row.shownAtStart);
  }
}

TEST_F(WindowLayout, NoFixedTextIsCutAndNoListNeedsAScrollBar) {
  for (const ControlRow& row : kControls) {
    QWidget* widget = Find(row.name);
    ASSERT_NE(widget, nullptr);
    SCOPED_TRACE(row.name);
    const QStringList text = TextOf(widget);
    if (qobject_cast<QLabel*>(widget) && !text.isEmpty()) {
      EXPECT_LE(QFontMetrics(widget->font()).height(), widget->height());
    }
    if (auto* list = qobject_cast<ui::TextList*>(widget)) {
      EXPECT_LE(NeededWidth(widget, text), widget->width());
      EXPECT_LE(list->count() * QFontMetrics(list->font()).height(), list->height());
      EXPECT_EQ(list->verticalScrollBar()->maximum(), 0);
      EXPECT_EQ(list->visualItemRect(list->item(0)).height(), QFontMetrics(list->font()).height());
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      EXPECT_LE(button->sizeHint().width(), button->width());
    }
  }
  auto* checkBox = ui.cbKeepUser;
  EXPECT_LE(checkBox->sizeHint().width(), checkBox->width());
}

TEST_F(WindowLayout, AScreenReaderGetsEveryControlByNameAndRole) {
  using form::Kind;
  const std::map<Kind, QAccessible::Role> roles = {
      {Kind::Window, QAccessible::Window},           {Kind::Picture, QAccessible::Graphic},
      {Kind::RichText, QAccessible::EditableText},   {Kind::TextList, QAccessible::StaticText},
      {Kind::Label, QAccessible::StaticText},        {Kind::Glyph, QAccessible::StaticText},
      {Kind::Button, QAccessible::Button},           {Kind::CheckBox, QAccessible::CheckBox},
      {Kind::ProgressBar, QAccessible::ProgressBar},
  };
  for (const form::ControlDescription& c : form::Controls()) {
    if (!roles.contains(c.kind)) continue;
    SCOPED_TRACE(c.name);
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(window.Widget(c.id));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), roles.at(c.kind));
    if (c.kind == Kind::RichText) continue;  // read by its text
    EXPECT_EQ(a->text(QAccessible::Name).toStdString(),
              c.kind == Kind::Window ? std::string(c.text) : form::AccessibleName(c.id));
    // No selectable lines in a text, no default button on the form.
    if (c.kind == Kind::TextList) {
      EXPECT_EQ(a->childCount(), 0);
    } else if (c.kind == Kind::ProgressBar) {
      EXPECT_NE(a->valueInterface(), nullptr);
    } else if (c.kind == Kind::Button) {
      EXPECT_FALSE(a->state().defaultButton);
    }
  }
  ui.PageControl1->setCurrentIndex(4);
  form.UpdateButtons();
  EXPECT_EQ(QAccessible::queryAccessibleInterface(ui.btnNEXT)->text(QAccessible::Name),
            QStringLiteral("OK"));
}

TEST_F(WindowLayout, GlyphsAreChecksAndCrossesOfTheirOwnSize) {
  const struct {
    ui::GlyphLabel* glyph;
    ui::Glyph kind;
  } glyphs[] = {{ui.txtConnOK, ui::Glyph::Check}, {ui.txtConnFail, ui::Glyph::Cross},
                {ui.txtWriteOK, ui::Glyph::Check}, {ui.txtWriteFail, ui::Glyph::Cross}};
  for (const auto& g : glyphs) {
    SCOPED_TRACE(g.glyph->objectName().toStdString());
    EXPECT_EQ(g.glyph->glyph(), g.kind);
    if (g.glyph->source() == ui::GlyphLabel::Source::DejaVu) {
      // The mark's ink fits its box.
      const QRect ink = QFontMetrics(g.glyph->font()).boundingRect(g.glyph->text());
      EXPECT_LE(ink.width(), g.glyph->width());
      EXPECT_LE(QFontMetrics(g.glyph->font()).height(), g.glyph->height());
    }
  }
}

TEST_F(WindowLayout, WindowCaptionSizePlaceAndBoxes) {
  EXPECT_EQ(window.objectName(), QStringLiteral("Form1"));
  EXPECT_EQ(window.windowTitle(), QStringLiteral("GPS Tarvik Update to v." TARVIK_VERSION));
  EXPECT_EQ(window.size(), QSize(622, 409));
  EXPECT_EQ(window.pos(), QPoint(368, 173));
  EXPECT_EQ(window.minimumSize(), QSize(622, 409));
  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_TRUE(window.windowIcon().availableSizes().contains(QSize(32, 32)));
  EXPECT_EQ(window.font().pixelSize(), 11);
  EXPECT_FALSE(window.font().bold());
  EXPECT_EQ(window.font().families().value(0), QStringLiteral("MS Sans Serif"));
  EXPECT_FALSE(ui.Image6->pixmap().isNull());
  EXPECT_EQ(ui.Image6->pixmap().deviceIndependentSize(), QSizeF(148, 86));
  EXPECT_TRUE(ui.StatusBar1->currentMessage().isEmpty());
  EXPECT_FALSE(ui.StatusBar1->isSizeGripEnabled());
}

TEST_F(WindowLayout, MaximisedKeepsPagesAtTheRightEdgeAndStatusBarAtTheBottom) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.resize(1000, 700);
  EXPECT_EQ(ui.PageControl1->geometry(), QRect(1000 - 13 - 417, 0, 417, 348));
  EXPECT_EQ(ui.StatusBar1->geometry(), QRect(0, 700 - 17, 1000, 17));
  EXPECT_EQ(ui.btnNEXT->geometry(), QRect(488, 359, 89, 25));
  EXPECT_EQ(ui.Panel1->geometry(), QRect(104, 0, 177, 33));
  EXPECT_EQ(ui.ListBox3->pos(), QPoint(16, 168));
  window.resize(622, 409);
  EXPECT_EQ(ui.PageControl1->geometry(), QRect(192, 0, 417, 348));
}

TEST_F(WindowLayout, FivePagesBelowACoveredTabRow) {
  ui::PageContainer& pages = *ui.PageControl1;
  ASSERT_EQ(pages.count(), 5);
  const char* names[] = {"TabSheet1", "TabSheet2", "TabSheet3", "TabSheet4", "TabSheet5"};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(pages.widget(i)->objectName(), QString::fromLatin1(names[i]));
    EXPECT_TRUE(pages.tabText(i).isEmpty());
    EXPECT_EQ(pages.isTabVisible(i), i == 0);
  }
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  // The page area starts below the tab row and holds the tallest page.
  const QRect area(pages.currentWidget()->mapTo(&pages, QPoint()), pages.currentWidget()->size());
  EXPECT_GT(area.top(), 0);
  EXPECT_EQ(area.top(), pages.tabBar()->height());
  EXPECT_EQ(area.width(), 417);
  EXPECT_GE(area.height(), 280 + 33);
  // The one tab left lies under Panel1.
  const QRect tab = pages.tabBar()->tabRect(0).translated(pages.tabBar()->mapTo(&window, QPoint()));
  EXPECT_TRUE(ui.Panel1->geometry().contains(tab)) << tab.x() << "," << tab.y();
  EXPECT_EQ(tab.width(), 1);
}

TEST_F(WindowLayout, ListsReadAsPrintedText) {
  for (auto* list : window.findChildren<ui::TextList*>()) {
    SCOPED_TRACE(list->objectName().toStdString());
    EXPECT_EQ(list->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(list->palette().color(QPalette::Base), window.palette().color(QPalette::Window));
    EXPECT_FALSE(list->wordWrap());
    EXPECT_EQ(list->textElideMode(), Qt::ElideNone);
  }
}

TEST_F(WindowLayout, ClickingALineOnlyHighlightsIt) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  ui::TextList& list = *ui.ListBox3;
  const QStringList before = list.lines();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(1)).center());
  ASSERT_EQ(list.selectedItems().size(), 1);
  EXPECT_EQ(list.selectedItems().first()->text(), before.at(1));
  EXPECT_EQ(list.lines(), before);
  EXPECT_EQ(form.ActivePage(), 1);
  EXPECT_EQ(ui.btnNEXT->text(), QStringLiteral("Далее"));
  EXPECT_TRUE(ui.StatusBar1->currentMessage().isEmpty());
}

TEST_F(WindowLayout, ProgressBarsRunFromZeroToHundredWithoutText) {
  for (QProgressBar* bar : {ui.BarWrite, ui.BarVerify}) {
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_FALSE(bar->isTextVisible());
  }
}

TEST_F(WindowLayout, WelcomeBoxIsAReadOnlyWrappingTextBox) {
  QTextEdit& box = *ui.RichEdit1;
  EXPECT_TRUE(box.isReadOnly());
  EXPECT_EQ(box.lineWrapMode(), QTextEdit::WidgetWidth);
  // text.rtf of the test directory, a plain-text file
  EXPECT_EQ(box.toPlainText(), QString::fromLatin1(kTestWelcomeText));
}

}  // namespace
}  // namespace tarvik::testing
