#pragma once
// A path shortened to a width so that what tells files apart, the file name, stays in
// view.
#include <QFontMetrics>
#include <QString>

namespace kelvory {

// path as it is when it fits; else the file name whole and the folder shortened in its
// middle ("/data/ma…/g/sheet.tif"). Only a name that alone does not fit is shortened
// itself, in its middle.
QString ElidePath(const QString& path, const QFontMetrics& metrics, int width);

}  // namespace kelvory
