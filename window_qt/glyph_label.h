#pragma once
// The big status glyphs: a green check mark or a red cross, 64 px high.
// With the "Wingdings" font present they are its characters 0xFC and 0xFB;
// otherwise DejaVu Sans' U+2714 and U+2718; without either font, a drawn
// outline of the same size.
#include <QLabel>

namespace tarvik::ui {

enum class Glyph { Check, Cross };

class GlyphLabel : public QLabel {
  Q_OBJECT
 public:
  enum class Source { Wingdings, DejaVu, Drawn };

  GlyphLabel(QWidget* parent, const QString& name, const QRect& geometry, Glyph glyph);

  Glyph glyph() const { return glyph_; }
  Source source() const { return source_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Glyph glyph_;
  Source source_;
};

inline constexpr int kGlyphPixelSize = 64;

}  // namespace tarvik::ui
