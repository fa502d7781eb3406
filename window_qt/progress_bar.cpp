#include "progress_bar.h"

#include <QEvent>
#include <QPainter>

namespace tarvik::ui {

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent) {
  setRange(0, 100);
  setValue(0);
  setTextVisible(false);
  TakeColours();
}

int ProgressBar::FilledWidth(int value) const {
  const qint64 inside = qMax(0, width() - 2);
  const qint64 span = qint64(maximum()) - minimum();
  if (span <= 0) return 0;
  const qint64 done = qBound<qint64>(0, qint64(value) - minimum(), span);
  return static_cast<int>(inside * done / span);
}

bool ProgressBar::TakeValueReport(int value) {
  const int tenth = qBound(0, value, 100) / 10;
  if (tenth == toldTenth_) return false;
  toldTenth_ = tenth;
  return true;
}

bool ProgressBar::event(QEvent* event) {
  const bool handled = QProgressBar::event(event);
  switch (event->type()) {
    case QEvent::Polish:
    case QEvent::StyleChange:
      // Every pixel is painted here, so nothing behind the bar needs
      // drawing first. The style's polish clears the flag: set it after.
      setAttribute(Qt::WA_OpaquePaintEvent);
      TakeColours();
      break;
    case QEvent::PaletteChange: TakeColours(); break;
    default: break;
  }
  return handled;
}

void ProgressBar::TakeColours() {
  const QPalette& colours = palette();
  frame_ = colours.color(QPalette::Window).darker(140);
  filled_ = colours.color(QPalette::Highlight);
  empty_ = colours.color(QPalette::Base);
}

void ProgressBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect inside = rect().adjusted(1, 1, -1, -1);
  const int filled = FilledWidth(value());
  painter.fillRect(rect(), frame_);
  painter.fillRect(inside.x(), inside.y(), filled, inside.height(), filled_);
  painter.fillRect(inside.x() + filled, inside.y(), inside.width() - filled, inside.height(), empty_);
}

}  // namespace tarvik::ui
