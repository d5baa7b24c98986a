#include "tiff/TIFFBitmap.h"

#include <system_error>
#include <unordered_set>

#include "platform/Errors.h"
#include "platform/FileStream.h"
#include "tiff/LittleEndian.h"
#include "tiff/TIFFConst.h"

namespace kelvory {

namespace {

constexpr std::uint16_t TagImageWidth = 256;
constexpr std::uint16_t TagImageLength = 257;
constexpr std::uint16_t Version = 42;
constexpr std::uint32_t HeaderSize = 8;
// The smallest directory: an entry count and a next offset.
constexpr std::uint64_t MinDirectorySize = 6;

}  // namespace

TTIFFBitmap::~TTIFFBitmap() { Close(); }

bool TTIFFBitmap::LoadFromFile(const std::string& fileName) {
  Close();
  FOwnsStream = true;
  FFileName = fileName;
  std::error_code error;
  FOwnedStream = platform::FileStream::Open(fileName, error);
  if (!FOwnedStream) {
    Close();
    throw EFOpenError(fileName, error);
  }
  FStream = FOwnedStream.get();
  ReadStructure();
  return true;
}

bool TTIFFBitmap::LoadFromStream(platform::Stream& stream) {
  // Directories read from an earlier stream must not mix with this one's.
  if (FStream != nullptr) Close();
  FStream = &stream;
  ReadStructure();
  return true;
}

void TTIFFBitmap::ReadStructure() {
  try {
    platform::Stream& stream = *FStream;
    stream.SetPosition(0);
    std::uint8_t header[HeaderSize];
    if (!le::ReadExact(stream, header, sizeof header) || header[0] != 'I' || header[1] != 'I' ||
        le::Load16(header + 2) != Version)
      throw Exception(SUnsupportedFileType);

    // A chain that comes back on itself, or holds more directories than the file has
    // room for, is broken: stop it instead of walking it for ever.
    const std::uint64_t maxDirectories = stream.Size() / MinDirectorySize;
    std::unordered_set<std::uint32_t> seen;
    std::uint32_t next = le::Load32(header + 4);
    while (next >= HeaderSize) {
      if (!seen.insert(next).second || FDirectories.size() >= maxDirectories)
        throw Exception(SStructureError);
      stream.SetPosition(next);
      FDirectories.push_back(std::make_unique<TTIFFIFD>(stream, next));
    }
  } catch (...) {
    Close();
    throw;
  }
}

bool TTIFFBitmap::GetImageSize(std::int32_t index, std::int32_t& width, std::int32_t& height) {
  if (index < 1 || index > DirectoryCount()) return false;
  TTIFFIFD& directory = *FDirectories[static_cast<std::size_t>(index) - 1];
  TagValues values;
  if (directory.ReadTag(TagImageWidth, values) < 1) throw Exception(SStructureError);
  width = values.Integer(0);
  if (directory.ReadTag(TagImageLength, values) < 1) throw Exception(SStructureError);
  height = values.Integer(0);
  return true;
}

void TTIFFBitmap::Close() {
  // Releasing a file stream cannot fail here: its descriptor closes in a noexcept
  // destructor.
  FOwnedStream.reset();
  FStream = nullptr;
  FFileName.clear();
  FOwnsStream = false;
  FDirectories.clear();
}

}  // namespace kelvory
