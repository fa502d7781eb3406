// The form's controls as Qt widgets, built from the form's description: each
// at its place and size in pixels at 96 dpi (Qt scales them with the
// screen), in its font and colour, with its text. Controls are created in
// the description's order, which puts the window's own controls in their
// stacking order, bottom first, and so also in their keyboard order.
#include <QCheckBox>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>

#include "accessibility.h"
#include "form_window.h"
#include "glyph_label.h"
#include "page_container.h"
#include "progress_bar.h"
#include "text_fit.h"
#include "text_list.h"
#include "window_fonts.h"

namespace tarvik::ui {
namespace {

using form::ControlDescription;
using form::Id;
using form::Kind;

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QRect Geometry(const form::Rect& r) { return {r.left, r.top, r.width, r.height}; }

QFont FontOf(const ControlDescription& c) { return WindowFont(c.font.pixelHeight, c.font.bold); }

QStringList LinesOf(const ControlDescription& c) {
  QStringList lines;
  for (const char* line : c.lines) lines << QString::fromUtf8(line);
  return lines;
}

QLabel* MakeLabel(QWidget* parent, const ControlDescription& c) {
  auto* label = new QLabel(Utf8(c.text), parent);
  const QFont font = FontOf(c);
  label->setFont(font);
  if (c.colour != form::Colour::Text) {
    const form::Rgb rgb = form::ColourValue(c.colour);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, QColor(rgb.red, rgb.green, rgb.blue));
    label->setPalette(pal);
  }
  const bool right = c.align == form::Align::Right;
  label->setAlignment(Qt::AlignTop | (right ? Qt::AlignRight : Qt::AlignLeft));
  label->setWordWrap(false);
  label->setGeometry(Geometry(c.rect));
  GrowToFit(*label, VisibleTextWidth(font, label->text()), right);
  return label;
}

QPushButton* MakeButton(QWidget* parent, const ControlDescription& c) {
  auto* button = new QPushButton(Utf8(c.text), parent);
  // Enter presses the button that has the focus, and only that one: there
  // is no default button on the form.
  button->setAutoDefault(true);
  button->setDefault(false);
  button->setGeometry(Geometry(c.rect));
  return button;
}

QProgressBar* MakeBar(QWidget* parent, const ControlDescription& c) {
  auto* bar = new ProgressBar(parent);
  bar->setGeometry(Geometry(c.rect));
  return bar;
}

QTextEdit* MakeRichText(QWidget* parent, const ControlDescription& c) {
  auto* edit = new QTextEdit(parent);
  edit->setFont(FontOf(c));
  edit->setReadOnly(true);
  edit->setLineWrapMode(QTextEdit::WidgetWidth);
  edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  edit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  edit->setTabChangesFocus(true);
  edit->setPlainText(LinesOf(c).join(QLatin1Char('\n')));
  edit->setGeometry(Geometry(c.rect));
  return edit;
}

QCheckBox* MakeCheckBox(QWidget* parent, const ControlDescription& c) {
  auto* box = new QCheckBox(Utf8(c.text), parent);
  box->setFont(FontOf(c));
  box->setChecked(c.checkedAtStart);
  box->setGeometry(Geometry(c.rect));
  return box;
}

QFrame* MakePanel(QWidget* parent, const ControlDescription& c) {
  auto* panel = new QFrame(parent);
  panel->setFrameShape(QFrame::NoFrame);
  panel->setAutoFillBackground(true);
  panel->setGeometry(Geometry(c.rect));
  return panel;
}

QStatusBar* MakeStatusBar(QWidget* parent, const ControlDescription& c) {
  auto* bar = new QStatusBar(parent);
  bar->setSizeGripEnabled(false);
  bar->setGeometry(Geometry(c.rect));
  return bar;
}

QLabel* MakePicture(QWidget* parent, const ControlDescription& c) {
  auto* picture = new QLabel(parent);
  // Through QIcon, so that a high-density screen gets the @2x artwork.
  picture->setPixmap(QIcon(QStringLiteral(":/artwork/logo.png"))
                         .pixmap(QSize(148, 86), parent->devicePixelRatioF()));
  picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  picture->setScaledContents(false);
  picture->setGeometry(Geometry(c.rect));
  return picture;
}

}  // namespace

void FormWindow::BuildControls() {
  InstallAccessibility();
  const ControlDescription& window = form::Describe(Id::Form1);
  setWindowTitle(Utf8(window.text));
  setWindowIcon(QIcon(QStringLiteral(":/artwork/icon.png")));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(WindowFont(form::kDefaultFont.pixelHeight, form::kDefaultFont.bold));
  // Never smaller than the form; an X11 window manager keeps the maximise
  // box only for a window it may resize.
  setMinimumSize(form::kClientWidth, form::kClientHeight);
  resize(form::kClientWidth, form::kClientHeight);
  move(window.rect.left, window.rect.top);

  for (const ControlDescription& c : form::Controls()) {
    QWidget* widget = c.id == Id::Form1 ? this : BuildControl(c);
    widget->setObjectName(Utf8(c.name));
    // The page container shows one page at a time itself.
    if (!c.shownAtStart && c.kind != Kind::Page) widget->setVisible(false);
    // The controls without a text of their own; the others are read by it.
    if (c.kind == Kind::Picture || c.kind == Kind::Glyph || c.kind == Kind::ProgressBar ||
        c.kind == Kind::TextList)
      widget->setAccessibleName(Utf8(form::AccessibleName(c.id)));
    widgets_[static_cast<std::size_t>(c.id)] = widget;
    if (const std::string said = form::AnnouncementOnShow(c.id); !said.empty())
      announcers_[static_cast<std::size_t>(c.id)] = new Announcer(this, Utf8(said));
  }

  ConnectButton(Id::btnESC, &TForm1::btnESCClick);
  ConnectButton(Id::btnBACK, &TForm1::btnBACKClick);
  ConnectButton(Id::btnNEXT, &TForm1::btnNEXTClick);
  ConnectButton(Id::btnConnect, &TForm1::btnConnectClick);

  // Keyboard order of the window's own controls; the pages keep theirs. The
  // page container is no stop of its own (page_container.h).
  setTabOrder(Widget(Id::PageControl1), Widget(Id::ListBox3));
  setTabOrder(Widget(Id::ListBox3), Widget(Id::btnESC));
  setTabOrder(Widget(Id::btnESC), Widget(Id::btnBACK));
  setTabOrder(Widget(Id::btnBACK), Widget(Id::btnNEXT));
}

QWidget* FormWindow::BuildControl(const ControlDescription& c) {
  QWidget* parent = Widget(c.parent);
  switch (c.kind) {
    case Kind::Page: {
      auto* page = new QWidget;
      page->setObjectName(Utf8(c.name));
      pages_->addTab(page, QString());
      return page;
    }
    case Kind::PageContainer:
      pages_ = new PageContainer(parent);
      pages_->setGeometry(Geometry(c.rect));
      return pages_;
    case Kind::Picture: return MakePicture(parent, c);
    case Kind::RichText: return MakeRichText(parent, c);
    case Kind::TextList: return new TextList(parent, Utf8(c.name), Geometry(c.rect), FontOf(c), LinesOf(c));
    case Kind::Label: return MakeLabel(parent, c);
    case Kind::Glyph:
      return new GlyphLabel(parent, Utf8(c.name), Geometry(c.rect),
                            c.glyph == form::Glyph::Check ? ui::Glyph::Check : ui::Glyph::Cross);
    case Kind::Button: return MakeButton(parent, c);
    case Kind::CheckBox: return MakeCheckBox(parent, c);
    case Kind::ProgressBar: return MakeBar(parent, c);
    case Kind::Panel: return MakePanel(parent, c);
    case Kind::StatusBar: return MakeStatusBar(parent, c);
    case Kind::Window: break;
  }
  return new QWidget(parent);
}

void FormWindow::ConnectButton(Id button, void (TForm1::*handler)()) {
  connect(WidgetAs<QPushButton>(button), &QPushButton::clicked, this, [this, handler] {
    (Form1().*handler)();
    AfterClick();
  });
}

void FormWindow::resizeEvent(QResizeEvent* event) {
  // Maximised (or enlarged): the pages keep their distance to the right edge
  // and the status bar stays along the bottom; the rest stays in place.
  QWidget* pages = Widget(Id::PageControl1);
  QWidget* status = Widget(Id::StatusBar1);
  if (pages == nullptr || status == nullptr) return QWidget::resizeEvent(event);  // still being built
  pages->move(width() - form::kPagesRightGap - pages->width(), pages->y());
  status->setGeometry(0, height() - status->height(), width(), status->height());
  QWidget::resizeEvent(event);
}

}  // namespace tarvik::ui
