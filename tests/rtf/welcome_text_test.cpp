#include "welcome_text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include "rtf_test_support.h"

namespace tarvik {
namespace {

QFont BoxFont() {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(17);
  return font;
}

QByteArray Bytes(std::string_view text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }

// The format of the character at offset in block.
QTextCharFormat FormatAt(const QTextBlock& block, int offset) {
  QTextCursor cursor(block);
  cursor.setPosition(block.position() + offset + 1);
  return cursor.charFormat();
}

// ------------------------------------------------------------- rich text

TEST(LoadRichTextTest, LeavesTheDocumentAloneWhenNotRichText) {
  QTextDocument doc;
  doc.setPlainText(QStringLiteral("built-in"));
  EXPECT_FALSE(LoadRichText(QByteArray("Hello {\\rtf1 x}"), doc, BoxFont()));
  EXPECT_FALSE(LoadRichText(QByteArray(), doc, BoxFont()));
  EXPECT_EQ(doc.toPlainText(), QStringLiteral("built-in"));
}

TEST(LoadRichTextTest, WritesParagraphsRunsAndFormats) {
  QTextDocument doc;
  doc.setPlainText(QStringLiteral("built-in"));
  const QByteArray rtf(
      "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset204 Arial;}}"
      "{\\colortbl;\\red255\\green0\\blue0;}"
      "\\qc\\b\\fs28 \\'c7\\'e0\\'e3\\'ee\\'eb\\'ee\\'e2\\'ee\\'ea\\par"
      "\\pard\\b0\\fs20\\par"
      "\\qr Body \\i\\ul\\strike\\cf1 red\\i0\\ulnone\\strike0\\cf0\\line next\\tab end}");
  ASSERT_TRUE(LoadRichText(rtf, doc, BoxFont()));
  ASSERT_EQ(doc.blockCount(), 3);

  const QTextBlock title = doc.begin();
  EXPECT_EQ(title.text(), QStringLiteral("Заголовок"));
  EXPECT_EQ(title.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  const QTextCharFormat titleFormat = FormatAt(title, 0);
  EXPECT_EQ(titleFormat.fontWeight(), QFont::Bold);
  EXPECT_DOUBLE_EQ(titleFormat.fontPointSize(), 14.0);
  const QStringList families = titleFormat.fontFamilies().toStringList();
  ASSERT_FALSE(families.isEmpty());
  EXPECT_EQ(families.first(), QStringLiteral("Arial"));
  EXPECT_TRUE(families.contains(BoxFont().family()));

  const QTextBlock empty = title.next();
  EXPECT_TRUE(empty.text().isEmpty());
  EXPECT_DOUBLE_EQ(empty.charFormat().fontPointSize(), 10.0);
  EXPECT_EQ(empty.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);

  const QTextBlock body = empty.next();
  EXPECT_EQ(body.text(), QStringLiteral("Body red") + QChar(QChar::LineSeparator) + QStringLiteral("next\tend"));
  EXPECT_EQ(body.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  const QTextCharFormat plain = FormatAt(body, 0);
  EXPECT_FALSE(plain.fontItalic());
  EXPECT_FALSE(plain.hasProperty(QTextFormat::ForegroundBrush));
  const QTextCharFormat red = FormatAt(body, 5);
  EXPECT_TRUE(red.fontItalic());
  EXPECT_TRUE(red.fontUnderline());
  EXPECT_TRUE(red.fontStrikeOut());
  EXPECT_EQ(red.foreground().color(), QColor(255, 0, 0));
  EXPECT_NE(FormatAt(body, 0).fontWeight(), QFont::Bold);
}

TEST(LoadRichTextTest, ShowsTheFilesOfRealWriters) {
  struct Sample {
    const char* file;
    QString firstLine;
  };
  for (const Sample& sample : {Sample{"wordpad.rtf", QStringLiteral("Спасибо за Выбор!")},
                               Sample{"word.rtf", QStringLiteral("Обновление")},
                               Sample{"libreoffice.rtf", QStringLiteral("Добро пожаловать!")}}) {
    QTextDocument doc;
    ASSERT_TRUE(LoadRichText(Bytes(rtf::testing::ReadSample(sample.file)), doc, BoxFont())) << sample.file;
    EXPECT_EQ(doc.begin().text(), sample.firstLine) << sample.file;
  }
}

// ------------------------------------------------------------- plain text

struct DecodeCase {
  const char* name;
  std::string_view bytes;
  QString expected;
};

TEST(DecodePlainTextTest, ChoosesUtf8OrCyrillic) {
  const DecodeCase cases[] = {
      {"Ascii", "GPS Tarvik", QStringLiteral("GPS Tarvik")},
      {"Utf8", "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82", QStringLiteral("Привет")},
      {"Utf8WithMark", "\xEF\xBB\xBF\xd0\x94\xd0\xb0", QStringLiteral("Да")},
      {"Cp1251", "\xcf\xf0\xe8\xe2\xe5\xf2", QStringLiteral("Привет")},
      {"BrokenUtf8IsCp1251", "\xd0\x9f\xff", QStringLiteral("Рџя")},
      {"Utf16LittleEndian", std::string_view("\xFF\xFE\x14\x04\x30\x04", 6), QStringLiteral("Да")},
      {"Utf16BigEndian", std::string_view("\xFE\xFF\x04\x14\x04\x30", 6), QStringLiteral("Да")},
      {"WindowsLineEnds", "a\r\nb\r\n", QStringLiteral("a\nb\n")},
      {"OldMacLineEnds", "a\rb", QStringLiteral("a\nb")},
      {"ZeroBytesDropped", std::string_view("a\0b", 3), QStringLiteral("ab")},
      {"Empty", "", QString()},
  };
  for (const DecodeCase& c : cases) EXPECT_EQ(DecodePlainText(Bytes(c.bytes)), c.expected) << c.name;
}

TEST(LoadPlainTextTest, ShowsTextInTheBoxFontWithoutFormerFormats) {
  QTextDocument doc;
  ASSERT_TRUE(LoadRichText(QByteArray("{\\rtf1\\qc\\b\\fs72 big\\par}"), doc, BoxFont()));
  LoadPlainText(QStringLiteral("one\ntwo"), doc, BoxFont());
  ASSERT_EQ(doc.blockCount(), 2);
  EXPECT_EQ(doc.toPlainText(), QStringLiteral("one\ntwo"));
  EXPECT_EQ(doc.defaultFont().pixelSize(), 17);
  const QTextCharFormat format = FormatAt(doc.begin(), 0);
  EXPECT_FALSE(format.hasProperty(QTextFormat::FontPointSize));
  EXPECT_NE(format.fontWeight(), QFont::Bold);
  EXPECT_EQ(doc.begin().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
}

// ------------------------------------------------------------- the file

class WelcomeFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    previous_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    doc_.setPlainText(QStringLiteral("built-in"));
  }
  void TearDown() override { QDir::setCurrent(previous_); }

  QString Path() const { return QFileInfo(dir_.path()).canonicalFilePath() + QStringLiteral("/text.rtf"); }

  void Write(std::string_view bytes) {
    QFile file(QStringLiteral("text.rtf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
  }

  static std::string CannotOpen(const QString& path, int error) {
    return "Cannot open file \"" + path.toStdString() + "\". " +
           TrimSystemErrorText(QString::fromLocal8Bit(std::strerror(error)).toStdString());
  }

  void ExpectBuiltInTextKept() { EXPECT_EQ(doc_.toPlainText(), QStringLiteral("built-in")); }

  QTemporaryDir dir_;
  QString previous_;
  QTextDocument doc_;
};

TEST_F(WelcomeFileTest, PathIsTheCurrentDirectoryAndTheName) { EXPECT_EQ(WelcomeFilePath(), Path()); }

TEST_F(WelcomeFileTest, MissingFile) {
  const WelcomeFileLoad result = LoadWelcomeText(doc_, BoxFont());
  EXPECT_NE(result.status, WelcomeFileLoad::Status::Loaded);
  EXPECT_EQ(WelcomeLoadErrorText(result), CannotOpen(Path(), ENOENT));
  EXPECT_FALSE(WelcomeLoadErrorText(result).ends_with('.'));
  ExpectBuiltInTextKept();
}

TEST_F(WelcomeFileTest, DirectoryInsteadOfFile) {
  ASSERT_TRUE(QDir().mkdir(QStringLiteral("text.rtf")));
  const WelcomeFileLoad result = LoadWelcomeText(doc_, BoxFont());
  EXPECT_NE(result.status, WelcomeFileLoad::Status::Loaded);
  EXPECT_EQ(WelcomeLoadErrorText(result), CannotOpen(Path(), EISDIR));
  ExpectBuiltInTextKept();
}

TEST_F(WelcomeFileTest, UnreadableFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  Write("{\\rtf1 x}");
  ASSERT_TRUE(QFile::setPermissions(QStringLiteral("text.rtf"), QFileDevice::WriteOwner));
  const WelcomeFileLoad result = LoadWelcomeText(doc_, BoxFont());
  EXPECT_EQ(WelcomeLoadErrorText(result), CannotOpen(Path(), EACCES));
  ExpectBuiltInTextKept();
}

TEST_F(WelcomeFileTest, ReadFailsAfterOpening) {
  // Offset 0 of a process's own memory is never mapped: the open succeeds, the read fails.
  QFile probe(QStringLiteral("/proc/self/mem"));
  if (!probe.open(QIODevice::ReadOnly)) GTEST_SKIP() << "this system does not let a process open its own memory";
  probe.close();
  ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/mem"), QStringLiteral("text.rtf")));
  const WelcomeFileLoad result = LoadWelcomeText(doc_, BoxFont());
  EXPECT_NE(result.status, WelcomeFileLoad::Status::Loaded);
  EXPECT_EQ(WelcomeLoadErrorText(result), "Failed to Load Stream");
  ExpectBuiltInTextKept();
}

TEST_F(WelcomeFileTest, EndlessStreamIsRefused) {
  ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), QStringLiteral("text.rtf")));
  const WelcomeFileLoad result = LoadWelcomeText(doc_, BoxFont());
  EXPECT_NE(result.status, WelcomeFileLoad::Status::Loaded);
  EXPECT_EQ(WelcomeLoadErrorText(result), "Failed to Load Stream");
  ExpectBuiltInTextKept();
}

TEST_F(WelcomeFileTest, RichTextFile) {
  Write(rtf::testing::ReadSample("wordpad.rtf"));
  const WelcomeFileLoad result = LoadWelcomeText(doc_, BoxFont());
  EXPECT_EQ(result.status, WelcomeFileLoad::Status::Loaded);
  EXPECT_TRUE(WelcomeLoadErrorText(result).empty());
  EXPECT_EQ(doc_.begin().text(), QStringLiteral("Спасибо за Выбор!"));
  EXPECT_EQ(doc_.begin().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

TEST_F(WelcomeFileTest, PlainTextFileInCyrillicCodePage) {
  Write("\xd1\xef\xe0\xf1\xe8\xe1\xee!\r\nGPS Tarvik");
  const WelcomeFileLoad result = LoadWelcomeText(doc_, BoxFont());
  EXPECT_EQ(result.status, WelcomeFileLoad::Status::Loaded);
  EXPECT_EQ(doc_.toPlainText(), QStringLiteral("Спасибо!\nGPS Tarvik"));
  EXPECT_EQ(doc_.defaultFont().pixelSize(), 17);
}

TEST_F(WelcomeFileTest, EmptyFileIsAnEmptyText) {
  Write("");
  const WelcomeFileLoad result = LoadWelcomeText(doc_, BoxFont());
  EXPECT_EQ(result.status, WelcomeFileLoad::Status::Loaded);
  EXPECT_TRUE(doc_.isEmpty());
}

}  // namespace
}  // namespace tarvik
