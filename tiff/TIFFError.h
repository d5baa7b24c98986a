#pragma once
// The one error the TIFF layer raises for a file it refuses: a code the build acts on
// and renders in the user's language, and a detail that names the cause.
#include <cstdint>

#include "platform/Errors.h"

namespace kelvory {

enum class TIFFFailure {
  UnsupportedFileType,     // not a TIFF of a kind the reading mode takes
  ReadError,               // something the file points at lies outside it
  StructureError,          // the file contradicts itself
  UnsupportedImageFormat,  // sound, but not something this program takes: an image kind,
                           // or directories that cannot be carried into another file
};

enum class TIFFDetail {
  None,
  // The walk of the chain.
  UnknownHeader,
  ChainLeavesFile,
  ChainLoops,
  DirectoriesOverlap,
  DirectoryCutShort,
  // Values read whole.
  ValuesOutsideFile,
  ValuesSharedPastFileSize,
  // Carrying directories into another file.
  NoDirectory,
  TagPointsIntoFile,
  TagOfUnknownType,
  WideValueInClassic,
  TooManyEntriesForClassic,
  TooManyValuesForClassic,
  PastClassicSize,
  BlockListUnusable,
  BlockListTwice,
  BlockOutsideFile,
  BlocksOverlap,
};

const char* TIFFFailureName(TIFFFailure failure);
const char* TIFFDetailName(TIFFDetail detail);

// what() names the code and the detail, for logs; the user's words come from the code.
class TIFFError : public Exception {
 public:
  explicit TIFFError(TIFFFailure failure, TIFFDetail detail = TIFFDetail::None, std::uint16_t tag = 0);
  TIFFFailure Failure() const { return failure_; }
  TIFFDetail Detail() const { return detail_; }
  // The tag the detail is about; 0 for none.
  std::uint16_t Tag() const { return tag_; }

 private:
  TIFFFailure failure_;
  TIFFDetail detail_;
  std::uint16_t tag_;
};

}  // namespace kelvory
