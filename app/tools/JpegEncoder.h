#pragma once
#include <QImage>
#include <QString>

namespace kelvory::tools {

// Writes the image as a baseline JPEG file; false with a reason when that fails.
bool WriteJpeg(const QImage& image, const QString& path, int quality, QString& reason);

}  // namespace kelvory::tools
