#include "app/WrapToWidth.h"

#include <QFontMetrics>
#include <QStringList>

namespace kelvory {
namespace {

bool BreaksAfter(QChar c) { return c == u' ' || c == u'/' || c == u'\\'; }

// Pieces that end where a line may break, the breaking character kept with them.
QStringList Pieces(const QString& line) {
  QStringList pieces;
  qsizetype start = 0;
  for (qsizetype i = 0; i < line.size(); ++i) {
    if (BreaksAfter(line[i])) {
      pieces.push_back(line.mid(start, i + 1 - start));
      start = i + 1;
    }
  }
  if (start < line.size()) pieces.push_back(line.mid(start));
  return pieces;
}

QString WrapLine(const QString& line, const QFontMetrics& metrics, int maxWidth) {
  QString wrapped;
  QString current;
  const auto fits = [&](const QString& text) { return metrics.horizontalAdvance(text) <= maxWidth; };
  const auto endLine = [&] {
    if (current.isEmpty()) return;
    if (!wrapped.isEmpty()) wrapped += u'\n';
    wrapped += current;
    current.clear();
  };
  for (const QString& piece : Pieces(line)) {
    if (fits(current + piece)) {
      current += piece;
      continue;
    }
    endLine();
    // A piece wider than a whole line is cut where the width ends.
    for (const QChar c : piece) {
      if (!current.isEmpty() && !fits(current + c)) endLine();
      current += c;
    }
  }
  endLine();
  return wrapped;
}

}  // namespace

QString WrapToWidth(const QString& text, const QFontMetrics& metrics, int maxWidth) {
  QStringList lines = text.split(u'\n');
  for (QString& line : lines) line = WrapLine(line, metrics, maxWidth);
  return lines.join(u'\n');
}

}  // namespace kelvory
