#include "glyph_label.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include "window_fonts.h"

namespace tarvik::ui {
namespace {

constexpr char16_t kWingdingsCheck = 0xFC;
constexpr char16_t kWingdingsCross = 0xFB;
constexpr char16_t kHeavyCheck = 0x2714;
constexpr char16_t kHeavyBallotX = 0x2718;

bool HasFamily(const QString& family, char32_t probe) {
  if (!QFontDatabase::families().contains(family)) return false;
  QFont font(family);
  font.setPixelSize(kGlyphPixelSize);
  return QFontMetrics(font).inFontUcs4(probe);
}

GlyphLabel::Source PickSource() {
  if (QFontDatabase::families().contains(QStringLiteral("Wingdings")))
    return GlyphLabel::Source::Wingdings;
  if (HasFamily(QStringLiteral("DejaVu Sans"), kHeavyCheck)) return GlyphLabel::Source::DejaVu;
  return GlyphLabel::Source::Drawn;
}

// Outlines on a 64-unit square, roughly the shape of the heavy check mark
// and the heavy ballot X.
QPainterPath DrawnGlyph(Glyph glyph) {
  QPainterPath path;
  if (glyph == Glyph::Check) {
    path.moveTo(4, 36);
    path.lineTo(14, 26);
    path.lineTo(24, 38);
    path.lineTo(50, 8);
    path.lineTo(58, 16);
    path.lineTo(24, 56);
    path.closeSubpath();
  } else {
    path.moveTo(6, 14);
    path.lineTo(14, 6);
    path.lineTo(24, 18);
    path.lineTo(34, 6);
    path.lineTo(42, 14);
    path.lineTo(31, 27);
    path.lineTo(42, 40);
    path.lineTo(34, 48);
    path.lineTo(24, 36);
    path.lineTo(14, 48);
    path.lineTo(6, 40);
    path.lineTo(17, 27);
    path.closeSubpath();
  }
  return path;
}

}  // namespace

GlyphLabel::GlyphLabel(QWidget* parent, const QString& name, const QRect& geometry, Glyph glyph)
    : QLabel(parent), glyph_(glyph), source_(PickSource()) {
  setObjectName(name);
  QFont font = source_ == Source::Wingdings ? QFont(QStringLiteral("Wingdings"))
                                            : QFont(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(kGlyphPixelSize);
  setFont(font);
  const bool check = glyph == Glyph::Check;
  if (source_ == Source::Wingdings)
    setText(QString(QChar(check ? kWingdingsCheck : kWingdingsCross)));
  else
    setText(QString(QChar(check ? kHeavyCheck : kHeavyBallotX)));
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, check ? kGreen : kRed);
  setPalette(pal);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setGeometry(geometry);
}

void GlyphLabel::paintEvent(QPaintEvent* event) {
  if (source_ == Source::Wingdings) {
    QLabel::paintEvent(event);
    return;
  }
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor color = palette().color(QPalette::WindowText);
  if (source_ == Source::DejaVu) {
    // DejaVu's marks are wider than the boxes sized for Wingdings; centre the
    // ink so neither side is cut, and keep the text baseline.
    const QFontMetrics metrics(font());
    const QRect ink = metrics.boundingRect(text());
    const int x = (width() - ink.width()) / 2 - ink.left();
    painter.setPen(color);
    painter.setFont(font());
    painter.drawText(QPoint(x, metrics.ascent()), text());
    return;
  }
  QPainterPath path = DrawnGlyph(glyph_);
  const QRectF bounds = path.boundingRect();
  path.translate((width() - bounds.width()) / 2 - bounds.left(), 12);
  painter.fillPath(path, color);
}

}  // namespace tarvik::ui
