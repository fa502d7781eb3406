#pragma once
// The welcome page's text: "text.rtf" from the current directory, shown as
// rich text when it is one and as plain text otherwise, and the error texts
// for a file that cannot be shown at all.
#include <QByteArray>
#include <QString>

class QFont;
class QTextDocument;
class QWidget;

namespace tarvik {

inline constexpr char kWelcomeFileName[] = "text.rtf";
// A welcome text is a page or two; anything near this size is not one, and
// reading it whole would only exhaust memory.
inline constexpr qint64 kMaxWelcomeFileSize = 16 * 1024 * 1024;

// Replaces the document's content with the rich text in data, on top of
// baseFont. False, with the document untouched, when data is not rich text.
bool LoadRichText(const QByteArray& data, QTextDocument& doc, const QFont& baseFont);

// UTF-8 where the bytes are valid UTF-8 (a UTF-8 or UTF-16 byte-order mark
// is honoured), otherwise the Cyrillic code page 1251. Line ends of any
// convention become "\n".
QString DecodePlainText(const QByteArray& data);

// Replaces the document's content with text in the box's own font.
void LoadPlainText(const QString& text, QTextDocument& doc, const QFont& boxFont);

struct WelcomeLoadResult {
  bool ok = false;
  QString errorText;  // for the error box; empty when ok
};

// The full name the error texts use: the current directory and "text.rtf".
QString WelcomeFilePath();

// Opens "text.rtf" in the current directory (others may read it meanwhile,
// but not write it) and shows it in doc: as rich text, else as plain text in
// boxFont. On failure doc keeps its content and errorText says why.
WelcomeLoadResult LoadWelcomeText(QTextDocument& doc, const QFont& boxFont);

// The operating system's description of an error, as the error text quotes
// it: without trailing blanks, control characters and full stops.
QString TrimSystemErrorText(const QString& description);

// The error box's own touch: a "." at the end when the text's last
// character comes after "." in the character order (as a letter does).
QString ErrorBoxText(const QString& text);

// The application title: the program file's name without its directory and
// without everything from its first ".", the first character as it is and
// the rest in lower case ("TarvikUpdate.exe" gives "Tarvikupdate").
QString ApplicationTitle(const QString& programFilePath);

// The framework's error box: stop icon, OK button, the application title as
// caption, the text completed by ErrorBoxText. Returns when OK is pressed.
void ShowErrorBox(QWidget* parent, const QString& text);

}  // namespace tarvik
