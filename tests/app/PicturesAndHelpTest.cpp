#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>

#include "app/JpegDecoder.h"
#include "app/Pictures.h"
#include "app/Shell.h"

namespace kelvory {
namespace {

QByteArray StoredBanner() {
  QFile file(QStringLiteral(":/kelvory/pictures/banner.jpg"));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  return file.readAll();
}

QImage Decode(const QByteArray& bytes) {
  return DecodeJpeg(
      std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
}

TEST(Pictures, DecodeToTheirSizesWithRealContent) {
  const QImage banner = BannerPicture().toImage();
  const QImage logo = LogoPicture().toImage();
  EXPECT_EQ(banner.size(), QSize(130, 520));
  EXPECT_EQ(logo.size(), QSize(250, 137));
  // The fallback for a broken build is plain white: make sure the real pictures came.
  EXPECT_NE(QColor(banner.pixel(5, 5)), QColor(Qt::white));
  EXPECT_NE(QColor(logo.pixel(52, 68)), QColor(Qt::white));

  const QImage icon = PyramidIcon().pixmap(32, 32).toImage();
  EXPECT_EQ(icon.size(), QSize(32, 32));
  EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(icon.pixel(16, 20)), 255);
}

TEST(JpegDecoder, DamagedDataRaisesAnError) {
  const QByteArray good = StoredBanner();
  ASSERT_GT(good.size(), 1000);
  ASSERT_EQ(Decode(good).size(), QSize(130, 520));

  QByteArray badMarker = good;
  badMarker[1] = '\x00';  // not a start-of-image marker
  QByteArray hugeSize = good;
  // Claim 65000 x 65000 pixels in the frame header.
  const qsizetype frame = good.indexOf(QByteArray("\xFF\xC0", 2));
  ASSERT_GT(frame, 0);
  hugeSize[frame + 5] = '\xFD';
  hugeSize[frame + 6] = '\xE8';
  hugeSize[frame + 7] = '\xFD';
  hugeSize[frame + 8] = '\xE8';

  const struct {
    const char* name;
    QByteArray bytes;
  } cases[] = {
      {"empty", QByteArray()},
      {"not a JPEG", QByteArray("GIF89a this is not a JPEG stream at all")},
      {"only the start marker", good.left(2)},
      {"cut inside the headers", good.left(300)},
      {"cut inside the image data", good.left(good.size() / 2)},
      {"without its end marker", good.left(good.size() - 2)},
      {"bad first marker", badMarker},
      {"absurd size", hugeSize},
  };
  for (const auto& c : cases) {
    try {
      Decode(c.bytes);
      ADD_FAILURE() << c.name << ": decoded";
    } catch (const EJpegError& error) {
      EXPECT_NE(std::string(error.what()).find("JPEG"), std::string::npos) << c.name << ": " << error.what();
    }
  }
}

TEST(Help, DocumentIsBuiltBesideTheProgram) {
  QFile pdf(QStringLiteral(KELVORY_HELP_PDF));
  ASSERT_TRUE(pdf.open(QIODevice::ReadOnly)) << KELVORY_HELP_PDF;
  EXPECT_TRUE(pdf.read(5) == "%PDF-");
  EXPECT_GT(pdf.size(), 10000);
}

TEST(Help, DocumentIsNamedAfterTheProgram) {
  const struct {
    const char* program;
    const char* pdf;
  } cases[] = {
      {"/opt/k/kelvory", "/opt/k/kelvory.pdf"},
      {"/opt/k/kelvory.exe", "/opt/k/kelvory.pdf"},
      {"/opt/k.d/kelvory", "/opt/k.d/kelvory.pdf"},
      {"/opt/k.d/kelvory.bin", "/opt/k.d/kelvory.pdf"},
      {"/opt/k/kelvory.tar.gz", "/opt/k/kelvory.tar.pdf"},
      {"/opt/k/.kelvory", "/opt/k/.kelvory.pdf"},
      {"/opt/Карты/kelvory", "/opt/Карты/kelvory.pdf"},
      {"/opt/k/kelvory 2.0 beta", "/opt/k/kelvory 2.pdf"},
  };
  for (const auto& c : cases) {
    const QUrl url = HelpPdfUrlForProgram(c.program);
    EXPECT_TRUE(url.isLocalFile()) << c.program;
    EXPECT_EQ(url.toLocalFile(), QString::fromUtf8(c.pdf)) << c.program;
  }
}

}  // namespace
}  // namespace kelvory
