#include "window_fonts.h"

#include <QStringList>

namespace tarvik::ui {

QFont WindowFont(int pixelSize, bool bold) {
  QFont font;
  // Liberation Sans runs as wide as the form's own font, so every text
  // fits the place the form gives it; the others are fallbacks.
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                    QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
  font.setPixelSize(pixelSize);
  font.setWeight(bold ? QFont::Bold : QFont::Normal);
  font.setItalic(false);
  return font;
}

}  // namespace tarvik::ui
