#include "tiff/TIFFError.h"

#include <string>

namespace kelvory {
namespace {

std::string Described(TIFFFailure failure, TIFFDetail detail, std::uint16_t tag) {
  std::string text = TIFFFailureName(failure);
  if (detail != TIFFDetail::None) text += std::string(": ") + TIFFDetailName(detail);
  if (tag != 0) text += " (tag " + std::to_string(tag) + ")";
  return text;
}

}  // namespace

const char* TIFFFailureName(TIFFFailure failure) {
  switch (failure) {
    case TIFFFailure::UnsupportedFileType: return "unsupported file type";
    case TIFFFailure::ReadError: return "file read error";
    case TIFFFailure::StructureError: return "file structure error";
    case TIFFFailure::UnsupportedImageFormat: return "unsupported image format";
  }
  return "file structure error";
}

const char* TIFFDetailName(TIFFDetail detail) {
  switch (detail) {
    case TIFFDetail::None: return "";
    case TIFFDetail::UnknownHeader: return "unknown header";
    case TIFFDetail::ChainLeavesFile: return "the directory chain leaves the file";
    case TIFFDetail::ChainLoops: return "the directory chain comes back";
    case TIFFDetail::DirectoriesOverlap: return "directories overlap";
    case TIFFDetail::DirectoryCutShort: return "a directory is cut short";
    case TIFFDetail::ValuesOutsideFile: return "values lie outside the file";
    case TIFFDetail::ValuesSharedPastFileSize: return "more values than the file holds";
    case TIFFDetail::NoDirectory: return "no directory";
    case TIFFDetail::TagPointsIntoFile: return "a tag points into its file";
    case TIFFDetail::TagOfUnknownType: return "a tag of unknown type";
    case TIFFDetail::WideValueInClassic: return "a 64-bit value a classic TIFF cannot hold";
    case TIFFDetail::TooManyEntriesForClassic: return "more entries than a classic TIFF can count";
    case TIFFDetail::TooManyValuesForClassic: return "more values than a classic TIFF can count";
    case TIFFDetail::PastClassicSize: return "past the 4 GiB a classic TIFF can address";
    case TIFFDetail::BlockListUnusable: return "no usable list of blocks";
    case TIFFDetail::BlockListTwice: return "a list of blocks given twice";
    case TIFFDetail::BlockOutsideFile: return "a block lies outside its file";
    case TIFFDetail::BlocksOverlap: return "blocks overlap";
  }
  return "";
}

TIFFError::TIFFError(TIFFFailure failure, TIFFDetail detail, std::uint16_t tag)
    : Exception(Described(failure, detail, tag)), failure_(failure), detail_(detail), tag_(tag) {}

}  // namespace kelvory
