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

  // The line with the focus is framed only when Tab brought the focus: the
  // focus a page change puts on its text leaves the text as printed.
  bool showsFocus() const { return showsFocus_; }

 protected:
  // A screen reader sees no lines in it (accessibility.h): Qt's list view
  // would tell it of the current and the selected line.
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  bool showsFocus_ = false;
};

}  // namespace tarvik::ui
