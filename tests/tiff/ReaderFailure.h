#pragma once
// The reader's failure codes by name, for tables that hold either a result or the code
// a file is refused with.
#include <string>

#include "tiff/TIFFError.h"

namespace kelvory::test {

inline const std::string UnsupportedFileType = TIFFFailureName(TIFFFailure::UnsupportedFileType);
inline const std::string ReadError = TIFFFailureName(TIFFFailure::ReadError);
inline const std::string StructureError = TIFFFailureName(TIFFFailure::StructureError);
inline const std::string UnsupportedImageFormat = TIFFFailureName(TIFFFailure::UnsupportedImageFormat);

// The code's name for the reader's own error, the message for any other.
inline std::string FailureName(const Exception& error) {
  const auto* refusal = dynamic_cast<const TIFFError*>(&error);
  return refusal != nullptr ? TIFFFailureName(refusal->Failure()) : error.what();
}

}  // namespace kelvory::test
