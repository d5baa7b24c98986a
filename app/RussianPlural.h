#pragma once
// The form a noun takes after a number: in Russian 1 файл, 2 файла, 5 файлов, 11 файлов,
// 21 файл, 22 файла; in English 1 file, 2 files.
#include <QString>

#include "app/WindowText.h"

namespace kelvory {

struct NounForms {
  const char* one;   // after 1, 21, 101...
  const char* few;   // after 2-4, 22-24...
  const char* many;  // after 0, 5-20, 25-30...
  const char* englishOne;
  const char* englishMany;
};

inline constexpr NounForms kFileNoun{"файл", "файла", "файлов", "file", "files"};
inline constexpr NounForms kFolderNoun{"папка", "папки", "папок", "folder", "folders"};
inline constexpr NounForms kPathNoun{"путь", "пути", "путей", "path", "paths"};
inline constexpr NounForms kLineNoun{"строка", "строки", "строк", "line", "lines"};

inline const char* PluralForm(long long count, const NounForms& noun) {
  const long long last = (count < 0 ? -count : count) % 100;
  if (last >= 11 && last <= 14) return noun.many;
  if (last % 10 == 1) return noun.one;
  if (last % 10 >= 2 && last % 10 <= 4) return noun.few;
  return noun.many;
}

// "72 файла", or in the window's English "72 files".
inline QString CountOf(long long count, const NounForms& noun) {
  const char* form = WindowLanguage() == Language::English ? (count == 1 ? noun.englishOne : noun.englishMany)
                                                           : PluralForm(count, noun);
  return QString::number(count) + ' ' + QString::fromUtf8(form);
}

}  // namespace kelvory
