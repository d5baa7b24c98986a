// Draws the program's pictures at build time: kelvory-pictures <output folder>
// writes banner.jpg (and banner_en.jpg, its English), logo.jpg, kelvory.png and
// kelvory.ico (the Windows program's icon) there.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "app/tools/Drawings.h"
#include "app/tools/JpegEncoder.h"

namespace {

int Fail(const QString& what) {
  std::fprintf(stderr, "kelvory-pictures: %s\n", qPrintable(what));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  if (argc != 2) {
    return Fail(QStringLiteral("usage: kelvory-pictures <output folder>"));
  }
  const QDir folder(QFile::decodeName(argv[1]));
  if (!folder.mkpath(QStringLiteral("."))) {
    return Fail(QStringLiteral("cannot create ") + folder.path());
  }
  QString reason;
  using kelvory::tools::DrawBanner;
  if (!kelvory::tools::WriteJpeg(DrawBanner(kelvory::tools::RussianBannerWords()),
                                 folder.filePath(QStringLiteral("banner.jpg")), 90, reason) ||
      !kelvory::tools::WriteJpeg(DrawBanner(kelvory::tools::EnglishBannerWords()),
                                 folder.filePath(QStringLiteral("banner_en.jpg")), 90, reason) ||
      !kelvory::tools::WriteJpeg(kelvory::tools::DrawLogo(), folder.filePath(QStringLiteral("logo.jpg")), 92,
                                 reason)) {
    return Fail(reason);
  }
  const QImage icon = kelvory::tools::DrawPyramidIcon();
  for (const char* format : {"PNG", "ICO"}) {
    const QString file = folder.filePath(QStringLiteral("kelvory.") + QString::fromLatin1(format).toLower());
    if (!icon.save(file, format)) return Fail(QStringLiteral("cannot write ") + file);
  }
  return 0;
}
