#pragma once
// Paths between Qt's strings and the text the rest of the program keeps them in: the
// file name's bytes (UTF-8) on Linux; UTF-8 on Windows too, where the platform layer
// makes UTF-16 of it, with the system's backslashes, as Windows users read paths.
// QFile::encodeName would give Windows' ANSI code page there and lose every letter
// outside it.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <string>

namespace kelvory {

inline std::string PathBytes(const QString& path) {
#ifdef Q_OS_WIN
  return QDir::toNativeSeparators(path).toUtf8().toStdString();
#else
  return QFile::encodeName(path).toStdString();
#endif
}

// Also for texts that carry paths, such as a row's reason.
inline QString PathQString(const std::string& bytes) {
#ifdef Q_OS_WIN
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
#else
  return QFile::decodeName(QByteArray::fromStdString(bytes));
#endif
}

}  // namespace kelvory
