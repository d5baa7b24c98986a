#include "app/PathElision.h"

#include <algorithm>

namespace kelvory {

QString ElidePath(const QString& path, const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(path) <= width) return path;
  const qsizetype separator = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
  if (separator < 0) return metrics.elidedText(path, Qt::ElideMiddle, width);
  const QString ellipsis(QChar(0x2026));
  // The name keeps its separator, so that a shortened folder still reads as one.
  const QString name = path.mid(separator);
  const int nameWidth = metrics.horizontalAdvance(name);
  if (nameWidth + metrics.horizontalAdvance(ellipsis) > width)
    return metrics.elidedText(ellipsis + name, Qt::ElideMiddle, width);
  QString folder = metrics.elidedText(path.left(separator), Qt::ElideMiddle, width - nameWidth);
  if (folder.isEmpty()) folder = ellipsis;
  return folder + name;
}

}  // namespace kelvory
