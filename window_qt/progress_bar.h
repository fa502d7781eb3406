#pragma once
// The two progress bars of the loading page. A bar moves after every block
// of the update, so painting it is nearly all the window does per block. It
// is drawn here as flat rectangles (frame, filled part, empty part), a few
// fills where the style's rounded, shaded, anti-aliased bar cost many times
// the rest of the block's work; and it is opaque, so that the page and the
// containers behind it are not painted again each time.
#include <QColor>
#include <QProgressBar>

namespace tarvik::ui {

class ProgressBar : public QProgressBar {
  Q_OBJECT
 public:
  explicit ProgressBar(QWidget* parent);

  // The filled width, in pixels of the inside of the frame, for value.
  int FilledWidth(int value) const;

  // True when a screen reader is to hear of value: the first value in each
  // tenth of the way (0-9, 10-19, ... 100), however the bar got there.
  bool TakeValueReport(int value);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void TakeColours();

  QColor frame_, filled_, empty_;
  int toldTenth_ = -1;  // the tenth last told to a screen reader
};

}  // namespace tarvik::ui
