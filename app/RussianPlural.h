#pragma once
// The form a Russian noun takes after a number: 1 файл, 2 файла, 5 файлов, 11 файлов,
// 21 файл, 22 файла.
#include <QString>

namespace kelvory {

struct NounForms {
  const char* one;   // after 1, 21, 101...
  const char* few;   // after 2-4, 22-24...
  const char* many;  // after 0, 5-20, 25-30...
};

inline constexpr NounForms kFileNoun{"файл", "файла", "файлов"};
inline constexpr NounForms kFolderNoun{"папка", "папки", "папок"};
inline constexpr NounForms kPathNoun{"путь", "пути", "путей"};
inline constexpr NounForms kLineNoun{"строка", "строки", "строк"};

inline const char* PluralForm(long long count, const NounForms& noun) {
  const long long last = (count < 0 ? -count : count) % 100;
  if (last >= 11 && last <= 14) return noun.many;
  if (last % 10 == 1) return noun.one;
  if (last % 10 >= 2 && last % 10 <= 4) return noun.few;
  return noun.many;
}

// "72 файла".
inline QString CountOf(long long count, const NounForms& noun) {
  return QString::number(count) + ' ' + QString::fromUtf8(PluralForm(count, noun));
}

}  // namespace kelvory
