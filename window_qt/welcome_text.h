#pragma once
// The welcome page's text: "text.rtf" from the current directory, shown as
// rich text when it is one and as plain text otherwise.
#include <QByteArray>
#include <QString>

#include "Update_Main/form_view.h"
#include "Update_Main/welcome_messages.h"

class QFont;
class QTextDocument;

namespace tarvik {

// Replaces the document's content with the rich text in data, on top of
// baseFont. False, with the document untouched, when data is not rich text.
bool LoadRichText(const QByteArray& data, QTextDocument& doc, const QFont& baseFont);

// UTF-8 where the bytes are valid UTF-8 (a UTF-8 or UTF-16 byte-order mark
// is honoured), otherwise the Cyrillic code page 1251. Line ends of any
// convention become "\n".
QString DecodePlainText(const QByteArray& data);

// Replaces the document's content with text in the box's own font.
void LoadPlainText(const QString& text, QTextDocument& doc, const QFont& boxFont);

// The full name the error texts use: the current directory and "text.rtf".
QString WelcomeFilePath();

// Opens "text.rtf" in the current directory (others may read it meanwhile,
// but not write it) and shows it in doc: as rich text, else as plain text in
// boxFont. On failure doc keeps its content.
WelcomeFileLoad LoadWelcomeText(QTextDocument& doc, const QFont& boxFont);

}  // namespace tarvik
