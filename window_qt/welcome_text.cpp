#include "welcome_text.h"

#include <string_view>

#include <QDir>
#include <QFont>
#include <QStringConverter>
#include <QStringDecoder>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include "cp1251.h"
#include "rtf_reader.h"
#include "welcome_file.h"

namespace tarvik {
namespace {

QString FromUtf16(const std::u16string& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

Qt::Alignment ToQt(rtf::Alignment alignment) {
  switch (alignment) {
    case rtf::Alignment::Center: return Qt::AlignHCenter;
    case rtf::Alignment::Right: return Qt::AlignRight;
    case rtf::Alignment::Justify: return Qt::AlignJustify;
    case rtf::Alignment::Left: break;
  }
  return Qt::AlignLeft;
}

QTextCharFormat ToQt(const rtf::CharFormat& format, const QFont& baseFont) {
  QTextCharFormat f;
  // A font the document names but this system lacks falls back to the box's
  // own family rather than to whatever the font matcher picks.
  QStringList families;
  if (!format.fontName.empty()) families << FromUtf16(format.fontName);
  families << baseFont.families();
  if (!families.contains(baseFont.family())) families << baseFont.family();
  f.setFontFamilies(families);
  f.setFontPointSize(format.fontSize / 2.0);
  f.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
  f.setFontItalic(format.italic);
  f.setFontUnderline(format.underline);
  f.setFontStrikeOut(format.strikeOut);
  if (format.color) f.setForeground(QColor(format.color->red, format.color->green, format.color->blue));
  return f;
}

}  // namespace

bool LoadRichText(const QByteArray& data, QTextDocument& doc, const QFont& baseFont) {
  const std::optional<rtf::Document> parsed =
      rtf::ParseRtf(std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
  if (!parsed) return false;

  doc.clear();
  doc.setDefaultFont(baseFont);
  QTextCursor cursor(&doc);
  bool first = true;
  for (const rtf::Paragraph& paragraph : parsed->paragraphs) {
    QTextBlockFormat blockFormat;
    blockFormat.setAlignment(ToQt(paragraph.alignment));
    const QTextCharFormat markFormat = ToQt(paragraph.markFormat, baseFont);
    if (first) {
      cursor.setBlockFormat(blockFormat);
      cursor.setBlockCharFormat(markFormat);
      first = false;
    } else {
      cursor.insertBlock(blockFormat, markFormat);
    }
    for (const rtf::Run& run : paragraph.runs) {
      const QTextCharFormat format = ToQt(run.format, baseFont);
      switch (run.kind) {
        case rtf::Run::Kind::Text: cursor.insertText(FromUtf16(run.text), format); break;
        case rtf::Run::Kind::LineBreak: cursor.insertText(QString(QChar::LineSeparator), format); break;
        case rtf::Run::Kind::Tab: cursor.insertText(QStringLiteral("\t"), format); break;
      }
    }
  }
  return true;
}

QString DecodePlainText(const QByteArray& data) {
  QString text;
  const std::optional<QStringConverter::Encoding> marked = QStringConverter::encodingForData(data);
  if (marked && *marked != QStringConverter::Utf8) {
    QStringDecoder decoder(*marked);
    text = decoder.decode(data);
  } else {
    QStringDecoder utf8(QStringConverter::Utf8);
    text = utf8.decode(data);
    if (utf8.hasError()) {
      const std::u16string cyrillic = DecodeSingleByte(
          kCodePageCyrillic, std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
      text = FromUtf16(cyrillic);
    }
  }
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QChar(u'\r'), QChar(u'\n'));
  // A zero character would end the text early in some consumers; it is never content.
  text.remove(QChar(u'\0'));
  return text;
}

void LoadPlainText(const QString& text, QTextDocument& doc, const QFont& boxFont) {
  doc.setDefaultFont(boxFont);
  doc.setPlainText(text);
}

QString WelcomeFilePath() {
  QString directory = QDir::toNativeSeparators(QDir::currentPath());
  if (!directory.isEmpty() && !directory.endsWith(QDir::separator())) directory += QDir::separator();
  return directory + QLatin1String(kWelcomeFileName);
}

WelcomeFileLoad LoadWelcomeText(QTextDocument& doc, const QFont& boxFont) {
  const QString path = WelcomeFilePath();
  const WelcomeFileBytes file = ReadWelcomeFile(path, kMaxWelcomeFileSize);
  WelcomeFileLoad result;
  result.fullPath = path.toStdString();
  switch (file.status) {
    case WelcomeFileBytes::Status::OpenFailed:
      result.status = WelcomeFileLoad::Status::OpenFailed;
      result.systemError = file.systemError.toStdString();
      return result;
    case WelcomeFileBytes::Status::ReadFailed:
      result.status = WelcomeFileLoad::Status::Unreadable;
      return result;
    case WelcomeFileBytes::Status::Ok:
      break;
  }
  if (!LoadRichText(file.bytes, doc, boxFont)) LoadPlainText(DecodePlainText(file.bytes), doc, boxFont);
  result.status = WelcomeFileLoad::Status::Loaded;
  return result;
}

}  // namespace tarvik
