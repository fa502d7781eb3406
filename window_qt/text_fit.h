#pragma once
// The form was laid out for "MS Sans Serif". Its fallback fonts run wider,
// so a fixed-size text control may be a few pixels too narrow for its words.
// Rather than cut a word, such a control grows by exactly the missing pixels,
// on the side away from the edge its text is aligned to (as an auto-sized
// label grows); its top, height and aligned edge stay where the form put them.
#include <QString>
#include <QStringList>

class QFont;
class QWidget;

namespace tarvik::ui {

// Width of the visible part of a line: trailing blanks draw nothing.
int VisibleTextWidth(const QFont& font, const QString& line);
int WidestLine(const QFont& font, const QStringList& lines);

// Widens widget to neededWidth if it is narrower; a right-aligned control
// keeps its right edge, any other its left edge.
void GrowToFit(QWidget& widget, int neededWidth, bool rightAligned);

}  // namespace tarvik::ui
