#pragma once
// A list box used as printed text: one line per item, no frame, flat, in the
// window's face colour, no wrapping and no eliding. Clicking a line only
// highlights it.
#include <QListWidget>
#include <QRect>
#include <QStringList>

namespace tarvik::ui {

class TextList : public QListWidget {
  Q_OBJECT
 public:
  TextList(QWidget* parent, const QString& name, const QRect& geometry, const QFont& font,
           const QStringList& lines);

  QStringList lines() const;

  // Left and right room the item delegate leaves around a line's text.
  int textMargins() const;
};

}  // namespace tarvik::ui
