#include "text_fit.h"

#include <QFontMetrics>
#include <QWidget>

#include <algorithm>

namespace tarvik::ui {

int VisibleTextWidth(const QFont& font, const QString& line) {
  qsizetype end = line.size();
  while (end > 0 && line.at(end - 1) == QLatin1Char(' ')) --end;
  return QFontMetrics(font).horizontalAdvance(line.left(end));
}

int WidestLine(const QFont& font, const QStringList& lines) {
  int widest = 0;
  for (const QString& line : lines) widest = std::max(widest, VisibleTextWidth(font, line));
  return widest;
}

void GrowToFit(QWidget& widget, int neededWidth, bool rightAligned) {
  const QRect box = widget.geometry();
  if (neededWidth <= box.width()) return;
  const int left = rightAligned ? box.right() + 1 - neededWidth : box.left();
  widget.setGeometry(left, box.top(), neededWidth, box.height());
}

}  // namespace tarvik::ui
