#pragma once
// The reader's own messages, shown to the user as they stand, and the error that
// carries them with a code the build can act on.
#include "platform/Errors.h"

namespace kelvory {

inline constexpr const char* SUnsupportedFileType = "Неподдерживаемый тип файла.";
inline constexpr const char* SReadError = "Ошибка чтения файла.";
inline constexpr const char* SStructureError = "Ошибка структуры файла.";
inline constexpr const char* SUnsupportedImageFormat = "Неподдерживаемый формат изображения.";

enum class TIFFFailure { UnsupportedFileType, ReadError, StructureError, UnsupportedImageFormat };

inline const char* TIFFFailureMessage(TIFFFailure failure) {
  switch (failure) {
    case TIFFFailure::UnsupportedFileType: return SUnsupportedFileType;
    case TIFFFailure::ReadError: return SReadError;
    case TIFFFailure::StructureError: return SStructureError;
    case TIFFFailure::UnsupportedImageFormat: return SUnsupportedImageFormat;
  }
  return SStructureError;
}

// A file the reader refuses: the message is one of the four above.
class TIFFError : public Exception {
 public:
  explicit TIFFError(TIFFFailure failure) : Exception(TIFFFailureMessage(failure)), failure_(failure) {}
  TIFFFailure Failure() const { return failure_; }

 private:
  TIFFFailure failure_;
};

}  // namespace kelvory
