#pragma once
// Long tool tips in lines of a readable width: a path and a tool's error line are
// one long line each, which a tool tip would show as a strip across the screen.
#include <QString>

class QFontMetrics;

namespace kelvory {

// Breaks every line of text so that none is wider than maxWidth in the font of
// metrics: after a space where there is one, else after a path separator, else
// anywhere. Nothing is dropped; the text's own line breaks stay.
QString WrapToWidth(const QString& text, const QFontMetrics& metrics, int maxWidth);

}  // namespace kelvory
