// The bitmaps the window takes from the resources: present under their
// names, in their sizes, the logo within 256 colours on white.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>

namespace {

struct Bitmap {
  const char* path;
  int width;
  int height;
};

TEST(ArtworkTest, ResourcesHaveTheirSizes) {
  for (const Bitmap& b : {Bitmap{":/artwork/logo.png", 148, 86}, Bitmap{":/artwork/logo@2x.png", 296, 172},
                          Bitmap{":/artwork/icon.png", 32, 32}, Bitmap{":/artwork/icon@2x.png", 64, 64}}) {
    const QImage image(QString::fromLatin1(b.path));
    ASSERT_FALSE(image.isNull()) << b.path;
    EXPECT_EQ(image.width(), b.width) << b.path;
    EXPECT_EQ(image.height(), b.height) << b.path;
  }
}

TEST(ArtworkTest, LogoIsA256ColourPictureOnWhite) {
  const QImage logo(QStringLiteral(":/artwork/logo.png"));
  ASSERT_EQ(logo.format(), QImage::Format_Indexed8);
  EXPECT_LE(logo.colorCount(), 256);
  EXPECT_FALSE(logo.hasAlphaChannel());
  for (const QPoint corner : {QPoint(0, 0), QPoint(147, 0), QPoint(0, 85), QPoint(147, 85)}) {
    EXPECT_EQ(logo.pixelColor(corner), QColor(Qt::white)) << corner.x() << "," << corner.y();
  }
}

}  // namespace
