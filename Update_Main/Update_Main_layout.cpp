// The form: every control with its place, size, font, colour and text, in
// pixels at 96 dpi (the toolkit scales them with the screen). Controls are
// created in the form's stacking order, bottom first, which is also the
// keyboard order of the window's own controls.
#include <QCheckBox>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>

#include "Update_Main.h"
#include "glyph_label.h"
#include "page_container.h"
#include "page_texts.h"
#include "text_fit.h"
#include "text_list.h"
#include "window_fonts.h"

using tarvik::ui::Glyph;
using tarvik::ui::GlyphLabel;
using tarvik::ui::TextList;
using tarvik::ui::WindowFont;

namespace {

const char* const kCaption = "GPS Tarvik Update to v.1.3.1";
// The page container is anchored to the top and right edges.
constexpr int kPagesRightGap = 13;
constexpr int kStatusBarHeight = 17;

enum class Align { Left, Right };

QString Utf8(const char* text) { return QString::fromUtf8(text); }

QLabel* MakeLabel(QWidget* parent, const char* name, const QRect& geometry, const char* text,
                  const QFont& font, const QColor* color = nullptr, Align align = Align::Left) {
  auto* label = new QLabel(Utf8(text), parent);
  label->setObjectName(QLatin1String(name));
  label->setFont(font);
  if (color != nullptr) {
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, *color);
    label->setPalette(pal);
  }
  label->setAlignment(Qt::AlignTop |
                      (align == Align::Right ? Qt::AlignRight : Qt::AlignLeft));
  label->setWordWrap(false);
  label->setGeometry(geometry);
  tarvik::ui::GrowToFit(*label, tarvik::ui::VisibleTextWidth(font, label->text()),
                        align == Align::Right);
  return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QRect& geometry,
                        const char* text) {
  auto* button = new QPushButton(Utf8(text), parent);
  button->setObjectName(QLatin1String(name));
  // Enter presses the button that has the focus, and only that one: there
  // is no default button on the form.
  button->setAutoDefault(true);
  button->setDefault(false);
  button->setGeometry(geometry);
  return button;
}

QProgressBar* MakeBar(QWidget* parent, const char* name, const QRect& geometry) {
  auto* bar = new QProgressBar(parent);
  bar->setObjectName(QLatin1String(name));
  bar->setRange(0, 100);
  bar->setValue(0);
  bar->setTextVisible(false);
  bar->setGeometry(geometry);
  return bar;
}

QWidget* MakePage(tarvik::ui::PageContainer* pages, const char* name) {
  auto* page = new QWidget;
  page->setObjectName(QLatin1String(name));
  pages->addTab(page, QString());
  return page;
}

}  // namespace

void TForm1::CreateControls() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(Utf8(kCaption));
  setWindowIcon(QIcon(QStringLiteral(":/artwork/icon.png")));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(WindowFont(11));
  // Never smaller than the form; the window manager keeps the maximise box
  // only for a window it may resize. On Windows the window has a fixed
  // border with the maximise box instead (Update_Main_win32.cpp).
#ifndef Q_OS_WIN
  setMinimumSize(kFormWidth, kFormHeight);
#endif
  resize(kFormWidth, kFormHeight);
  move(kFormLeft, kFormTop);

  Image6 = new QLabel(this);
  Image6->setObjectName(QStringLiteral("Image6"));
  // Through QIcon, so that a high-density screen gets the @2x artwork.
  Image6->setPixmap(QIcon(QStringLiteral(":/artwork/logo.png"))
                        .pixmap(QSize(148, 86), devicePixelRatioF()));
  Image6->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image6->setScaledContents(false);
  Image6->setGeometry(16, 40, 153, 89);

  PageControl1 = new tarvik::ui::PageContainer(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setGeometry(192, 0, 417, 348);
  TabSheet1 = MakePage(PageControl1, "TabSheet1");
  TabSheet2 = MakePage(PageControl1, "TabSheet2");
  TabSheet3 = MakePage(PageControl1, "TabSheet3");
  TabSheet4 = MakePage(PageControl1, "TabSheet4");
  TabSheet5 = MakePage(PageControl1, "TabSheet5");
  CreateWelcomePage();
  CreatePreparationPage();
  CreateConnectionPage();
  CreateLoadingPage();
  CreateFinishPage();

  ListBox3 = new TextList(this, QStringLiteral("ListBox3"), {16, 168, 153, 193}, WindowFont(11),
                          tarvik::ui::SidePanelLines());

  btnESC = MakeButton(this, "btnESC", {200, 360, 89, 25}, "Отмена");
  btnBACK = MakeButton(this, "btnBACK", {344, 360, 89, 25}, "Назад");
  btnNEXT = MakeButton(this, "btnNEXT", {488, 359, 89, 25}, "Далее");
  connect(btnESC, &QPushButton::clicked, this, &TForm1::btnESCClick);
  connect(btnBACK, &QPushButton::clicked, this, &TForm1::btnBACKClick);
  connect(btnNEXT, &QPushButton::clicked, this, &TForm1::btnNEXTClick);

  // Covers the left end of the page container's tab row, where the one
  // remaining tab lies.
  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameShape(QFrame::NoFrame);
  Panel1->setAutoFillBackground(true);
  Panel1->setGeometry(104, 0, 177, 33);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->setGeometry(0, kFormHeight - kStatusBarHeight, kFormWidth, kStatusBarHeight);

  setTabOrder(PageControl1, ListBox3);
  setTabOrder(ListBox3, btnESC);
  setTabOrder(btnESC, btnBACK);
  setTabOrder(btnBACK, btnNEXT);
}

void TForm1::resizeEvent(QResizeEvent* event) {
  // Maximised (or enlarged): the pages keep their distance to the right edge
  // and the status bar stays along the bottom; the rest stays in place.
  PageControl1->move(width() - kPagesRightGap - PageControl1->width(), PageControl1->y());
  StatusBar1->setGeometry(0, height() - kStatusBarHeight, width(), kStatusBarHeight);
  QWidget::resizeEvent(event);
}

void TForm1::CreateWelcomePage() {
  RichEdit1 = new QTextEdit(TabSheet1);
  RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
  RichEdit1->setFont(WindowFont(17));
  RichEdit1->setReadOnly(true);
  RichEdit1->setLineWrapMode(QTextEdit::WidgetWidth);
  RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  RichEdit1->setTabChangesFocus(true);
  RichEdit1->setPlainText(tarvik::ui::BuiltInWelcomeLines().join(QLatin1Char('\n')));
  RichEdit1->setGeometry(0, 16, 401, 289);
}

void TForm1::CreatePreparationPage() {
  ListBox1 = new TextList(TabSheet2, QStringLiteral("ListBox1"), {0, 16, 377, 289},
                          WindowFont(13, true), tarvik::ui::PreparationLines());
}

void TForm1::CreateConnectionPage() {
  const QColor green = tarvik::ui::kGreen;
  const QColor red = tarvik::ui::kRed;
  QWidget* page = TabSheet3;
  Label1 = MakeLabel(page, "Label1", {8, 16, 150, 24}, "СОЕДИНЕНИЕ:", WindowFont(19, true));
  // Both words end at x = 383, whichever shows.
  lbConnected = MakeLabel(page, "lbConnected", {248, 24, 135, 20}, "УСТАНОВЛЕНО",
                          WindowFont(16, true), &green, Align::Right);
  lbNotConnected = MakeLabel(page, "lbNotConnected", {218, 24, 165, 20}, "НЕ УСТАНОВЛЕНО",
                             WindowFont(16, true), &red, Align::Right);
  ListBox6 = new TextList(page, QStringLiteral("ListBox6"), {8, 40, 209, 33}, WindowFont(11),
                          tarvik::ui::CheckConnectionLines());
  txtConnFail = new GlyphLabel(page, QStringLiteral("txtConnFail"), {232, 40, 45, 75}, Glyph::Cross);
  txtConnOK = new GlyphLabel(page, QStringLiteral("txtConnOK"), {312, 40, 54, 75}, Glyph::Check);
  btnConnect = MakeButton(page, "btnConnect", {8, 80, 89, 25}, "Соединение");
  connect(btnConnect, &QPushButton::clicked, this, &TForm1::btnConnectClick);
  ListBox2 = new TextList(page, QStringLiteral("ListBox2"), {0, 120, 377, 153},
                          WindowFont(13, true), tarvik::ui::KeepSettingsLines());
  cbKeepUser = new QCheckBox(Utf8("Сохранить пользовательские настройки"), page);
  cbKeepUser->setObjectName(QStringLiteral("cbKeepUser"));
  cbKeepUser->setFont(WindowFont(16));
  cbKeepUser->setChecked(true);
  cbKeepUser->setGeometry(0, 280, 377, 33);
}

void TForm1::CreateLoadingPage() {
  const QColor green = tarvik::ui::kGreen;
  const QColor red = tarvik::ui::kRed;
  const QColor olive = tarvik::ui::kOlive;
  QWidget* page = TabSheet4;
  // Each phase's three status words share one spot, ending at x = 391.
  lbWrite = MakeLabel(page, "lbWrite", {0, 16, 114, 24}, "ЗАГРУЗКА:", WindowFont(19, true));
  BarWrite = MakeBar(page, "BarWrite", {0, 48, 273, 17});
  lbWriteOn = MakeLabel(page, "lbWriteOn", {326, 48, 65, 20}, "ОБМЕН", WindowFont(16, true),
                        &olive, Align::Right);
  lbWriteOK = MakeLabel(page, "lbWriteOK", {366, 48, 25, 20}, "ОК", WindowFont(16, true), &green,
                        Align::Right);
  lbWriteErr = MakeLabel(page, "lbWriteErr", {301, 48, 90, 20}, "ОШИБКА!!!", WindowFont(16, true),
                         &red, Align::Right);
  lbVerify = MakeLabel(page, "lbVerify", {0, 88, 117, 24}, "ПРОВЕРКА:", WindowFont(19, true));
  BarVerify = MakeBar(page, "BarVerify", {0, 120, 273, 17});
  lbVerifyOn = MakeLabel(page, "lbVerifyOn", {326, 120, 65, 20}, "ОБМЕН", WindowFont(16, true),
                         &olive, Align::Right);
  lbVerifyOK = MakeLabel(page, "lbVerifyOK", {366, 120, 25, 20}, "ОК", WindowFont(16, true),
                         &green, Align::Right);
  lbVerifyErr = MakeLabel(page, "lbVerifyErr", {301, 120, 90, 20}, "ОШИБКА!!!",
                          WindowFont(16, true), &red, Align::Right);
  txtWriteOK = new GlyphLabel(page, QStringLiteral("txtWriteOK"), {8, 184, 54, 75}, Glyph::Check);
  txtWriteFail =
      new GlyphLabel(page, QStringLiteral("txtWriteFail"), {8, 192, 45, 75}, Glyph::Cross);
  ListWriteOK = new TextList(page, QStringLiteral("ListWriteOK"), {64, 192, 281, 49},
                             WindowFont(13, true), tarvik::ui::UpdateSucceededLines());
  ListWriteFail = new TextList(page, QStringLiteral("ListWriteFail"), {64, 208, 281, 49},
                               WindowFont(13, true), tarvik::ui::UpdateFailedLines());
}

void TForm1::CreateFinishPage() {
  ListBox4 = new TextList(TabSheet5, QStringLiteral("ListBox4"), {0, 32, 377, 241},
                          WindowFont(13, true), tarvik::ui::FinishLines());
}
