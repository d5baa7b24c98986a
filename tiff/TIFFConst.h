#pragma once
// The reader's own messages, shown to the user as they stand.

namespace kelvory {

inline constexpr const char* SUnsupportedFileType = "Неподдерживаемый тип файла.";
inline constexpr const char* SReadError = "Ошибка чтения файла.";
inline constexpr const char* SStructureError = "Ошибка структуры файла.";
inline constexpr const char* SUnsupportedImageFormat = "Неподдерживаемый формат изображения.";

}  // namespace kelvory
