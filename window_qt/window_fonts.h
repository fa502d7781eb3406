#pragma once
// The window's fonts. The form was drawn with "MS Sans Serif"; where that
// font is missing Liberation Sans (metric-compatible with Arial), else Tahoma,
// else DejaVu Sans takes its place at the same pixel heights, so the layout
// keeps its proportions on every system.
#include <QColor>
#include <QFont>

namespace tarvik::ui {

QFont WindowFont(int pixelSize, bool bold = false);

// The form's colours.
inline const QColor kGreen{0, 128, 0};
inline const QColor kRed{255, 0, 0};
inline const QColor kOlive{128, 128, 0};

}  // namespace tarvik::ui
