#include "app/Pictures.h"

#include <QFile>
#include <QtDebug>

#include "app/JpegDecoder.h"
#include "app/WindowText.h"

namespace kelvory {

namespace {

// The pictures are part of the program, so a failure here means a broken build. The
// window still comes up, with a blank area of the picture's size, and says why.
QPixmap StoredJpeg(const QString& resource, QSize size) {
  try {
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly)) {
      throw EJpegError("Нет изображения " + resource.toStdString());
    }
    const QByteArray bytes = file.readAll();
    return QPixmap::fromImage(DecodeJpeg(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                   static_cast<std::size_t>(bytes.size()))));
  } catch (const EJpegError& error) {
    qWarning("%s", error.what());
    QPixmap blank(size);
    blank.fill(Qt::white);
    return blank;
  }
}

}  // namespace

QPixmap BannerPicture() {
  // Its words are drawn in: the window's language picks the picture.
  return StoredJpeg(WindowLanguage() == Language::English ? QStringLiteral(":/kelvory/pictures/banner_en.jpg")
                                                          : QStringLiteral(":/kelvory/pictures/banner.jpg"),
                    QSize(130, 520));
}

QPixmap LogoPicture() {
  return StoredJpeg(QStringLiteral(":/kelvory/pictures/logo.jpg"), QSize(250, 137));
}

QIcon PyramidIcon() {
  return QIcon(QStringLiteral(":/kelvory/pictures/kelvory.png"));
}

}  // namespace kelvory
