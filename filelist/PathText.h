#pragma once
// Paths between Qt's strings and the text the rest of the program keeps them in: the
// file name's bytes, UTF-8, with the system's own separators (backslashes on Windows,
// as its users read paths; the platform layer makes UTF-16 of them there). This is
// what QFile::encodeName gives on Linux; on Windows it would give the ANSI code page
// and lose every letter outside it.
#include <QByteArray>
#include <QDir>
#include <QString>

#include <string>
#include <string_view>

namespace kelvory {

inline std::string PathBytes(const QString& path) { return QDir::toNativeSeparators(path).toUtf8().toStdString(); }

// Also for texts that carry paths, such as a row's reason.
inline QString PathQString(std::string_view bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace kelvory
