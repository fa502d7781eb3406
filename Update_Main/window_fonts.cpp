#include "window_fonts.h"

#include <QStringList>

namespace tarvik::ui {

QFont WindowFont(int pixelSize, bool bold) {
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Tahoma"),
                    QStringLiteral("DejaVu Sans")});
  font.setPixelSize(pixelSize);
  font.setWeight(bold ? QFont::Bold : QFont::Normal);
  font.setItalic(false);
  return font;
}

}  // namespace tarvik::ui
